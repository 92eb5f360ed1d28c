#include "packettesting.h"

#include <TavrexBus1/modbuspacketarch.h>
#include <TavrexBus1/modbuspacketarchpresence.h>
#include <TavrexBus1/modbuspacketfile.h>
#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbusparseinfo.h>
#include <TavrexBus1/modbusrtudeparser.h>
#include <TavrexBus1/modbusrtuparser.h>
#include <TavrexBus1/modbustcpdeparser.h>
#include <TavrexBus1/modbustcpparser.h>
#include <TavrexBus1/modbustcptarget.h>

#include <QtTest/QtTest>

#include <memory>

using namespace PacketTesting;

namespace {

enum Framing { Rtu, Tcp };

class ForeignInfo : public IParseInfo
{
public:
    QString toString(bool) const override { return QString(); }
};

// A valid message of every function and direction the library speaks beyond those exchanged
// with pymodbus in tst_pymodbusframes: the packet a builder is given, its PDU, and the packet
// parsing that PDU gives back where that differs (answers of 6 and 16 keep no echoed fields).
struct Sample
{
    const char *name = nullptr;
    PacketFactory built;
    const char *pdu = nullptr;
    PacketFactory parsed = {};
    quint16 requestCount = 1;
    TavrexBus::ArchType archType = TavrexBus::IndexArch;
};

QList<Sample> samples()
{
    using Reg = ModbusPacketReg;
    using Arch = ModbusPacketArch;
    using Presence = ModbusPacketArchPresence;
    using File = ModbusPacketFile;
    const auto Req = TavrexBus::Request;
    const auto Resp = TavrexBus::Response;

    const auto reg = [](int code, TavrexBus::PacketState state, int address, int count, const char *values) {
        return make<Reg>(code, state, [=](Reg &p) {
            p.setRequestAddress(quint16(address));
            p.setRequestRegistersCount(quint16(count));
            p.setRegBytes(hex(values));
        });
    };
    const auto writeAnswer = [](int address) {
        return make<Reg>(16, TavrexBus::Response, [=](Reg &p) {
            p.setRequestAddress(quint16(address));
            p.setRegistersWritten(2);
        });
    };
    const auto arch = [](int code, TavrexBus::ArchType type, int index, int count, uint label) {
        return make<Arch>(code, TavrexBus::Request, [=](Arch &p) {
            p.setArchType(type);
            p.setArchIndex(quint16(index));
            p.setRequestRecordsCount(quint16(count));
            p.setRequestLabel(label);
            p.setDirection(code == 67 ? TavrexBus::Backward : TavrexBus::Forward);
        });
    };
    const auto records = [](int code, TavrexBus::ArchType type, const QList<ModbusBytes> &fields) {
        return make<Arch>(code, TavrexBus::Response, [=](Arch &p) {
            p.setArchType(type);
            p.setRecords(fields);
        });
    };
    const auto presence = make<Presence>(66, Req, [](Presence &p) {
        p.setArchType(TavrexBus::TimeArch);
        p.setArchIndex(2);
        p.setRequestLabelsCount(3);
        p.setRequestLabel(0x65E6F5A8u);
        p.setDirection(TavrexBus::Backward);
    });
    const auto presenceAnswer = make<Presence>(66, Resp, [](Presence &p) {
        p.appendLabel(1);
        p.appendLabel(2);
    });
    const auto file = [](int code, TavrexBus::PacketState state, int count, int written, const char *bytes) {
        return make<File>(code, state, [=](File &p) {
            p.requestOffset = count || written ? 0x10 : 0;
            p.requestFile = count || written ? 3 : 0;
            p.requestRegistersCount = quint8(count);
            p.registersWritten = quint8(written);
            p.bytes = hex(bytes);
        });
    };
    const auto Time = TavrexBus::TimeArch;
    const auto byTime = [&](int index, int count, const QDate &date, const QTime &time) {
        return arch(65, Time, index, count, TavrexBus::archLabelToSeconds(QDateTime(date, time)));
    };
    return {
        { "6 answer", reg(6, Resp, 1, 1, "00 03"), "06 00 01 00 03", reg(6, Resp, 1, 1, "") },
        { "16 answer", writeAnswer(1), "10 00 01 00 02", writeAnswer(0) },
        { "65 index request", arch(65, TavrexBus::IndexArch, 1, 2, 5), "41 00 01 00 02 00 00 05" },
        // The year byte follows the century: the first and last years of the label range.
        { "65 time request 1970", byTime(1, 1, QDate(1970, 1, 1), QTime(0, 0)), "41 00 01 00 01 01 00 00 00 01 01 46" },
        { "65 time request 2069", byTime(2, 3, QDate(2069, 12, 31), QTime(23, 59, 59)),
          "41 00 02 00 03 01 3B 3B 17 1F 0C 45" },
        { "65 answer", records(65, Time, { hex("01 02 03 04"), hex("05 06 07 08"), hex("09 0A 0B 0C") }),
          "41 0C 01 02 03 04 05 06 07 08 09 0A 0B 0C", {}, 3, Time },
        { "67 request", arch(67, Time, 3, 4, 0x65E6F5A8u), "43 00 03 00 04 01 65 E6 F5 A8 01" },
        { "67 answer", records(67, TavrexBus::IndexArch, { hex("AA BB CC") }), "43 03 AA BB CC" },
        { "66 request", presence, "42 00 02 00 03 01 65 E6 F5 A8 01" },
        { "66 answer", presenceAnswer, "42 08 00 00 00 01 00 00 00 02", {}, 2 },
        { "68 request", file(68, Req, 4, 0, ""), "44 00 10 03 04" },
        { "68 answer", file(68, Resp, 0, 0, "01 02 03 04"), "44 04 01 02 03 04" },
        { "69 request", file(69, Req, 2, 0, "01 02 03 04"), "45 00 10 03 02 01 02 03 04" },
        { "69 answer", file(69, Resp, 0, 2, ""), "45 00 10 03 02" },
    };
}

} // namespace

Q_DECLARE_METATYPE(Sample)

class tst_ModbusFraming : public QObject
{
    Q_OBJECT

    ModbusParser &parser(int framing)
    {
        return framing == Rtu ? static_cast<ModbusParser &>(m_rtuParser) : m_tcpParser;
    }
    Deparser &deparser(int framing)
    {
        return framing == Rtu ? static_cast<Deparser &>(m_rtuDeparser) : m_tcpDeparser;
    }

    ModbusRTUParser m_rtuParser;
    ModbusTCPParser m_tcpParser;
    ModbusRTUDeparser m_rtuDeparser;
    ModbusTCPDeparser m_tcpDeparser;

private Q_SLOTS:
    void roundTripsEveryFunction_data()
    {
        QTest::addColumn<int>("framing");
        QTest::addColumn<Sample>("sample");
        for (const Sample &s : samples()) {
            QTest::addRow("RTU %s", s.name) << int(Rtu) << s;
            QTest::addRow("TCP %s", s.name) << int(Tcp) << s;
        }
    }

    void roundTripsEveryFunction()
    {
        QFETCH(int, framing);
        QFETCH(Sample, sample);

        const QByteArray pdu = hex(sample.pdu);
        const std::unique_ptr<ModbusPacket> source(sample.built());
        source->setAddress(17);
        ModbusTcpTarget target;
        target.setTransactionID(0xBEEF);
        ModbusBytes frame = hex("DE AD");
        QVERIFY2(deparser(framing).deparse(*source, frame, &target), qPrintable(deparser(framing).errorString()));
        if (framing == Rtu) {
            QCOMPARE(frame.mid(1, frame.size() - 3).toHex(' '), pdu.toHex(' '));
            QCOMPARE(uchar(frame.at(0)), uchar(17));
            QVERIFY(frame.checkCrc16());
        } else {
            const QByteArray header = QByteArray::fromHex("BEEF0000") + ModbusBytes::fromUInt16(quint16(pdu.size() + 1))
                    + QByteArray(1, '\x11');
            QCOMPARE(frame.toHex(' '), (header + pdu).toHex(' '));
        }

        const ModbusParseInfo info{ source->state(), sample.requestCount, sample.archType };
        QVERIFY(parser(framing).canParse(exact(frame), info.state()));
        const std::unique_ptr<IPacket> back(parser(framing).parse(exact(frame), info, &target));
        QVERIFY2(back, qPrintable(parser(framing).errorString()));
        const std::unique_ptr<ModbusPacket> wanted((sample.parsed ? sample.parsed : sample.built)());
        wanted->setAddress(17);
        const auto &modbus = dynamic_cast<const ModbusPacket &>(*back);
        const QString text = modbus.toString(false);
        QVERIFY2(equal(modbus, *wanted), qPrintable(text + QLatin1String(" | ") + wanted->toString(false)));
        // The one-line text of a packet with content stays one line.
        QCOMPARE(modbus.toString(true), QString(text).replace(QLatin1Char('\n'), QLatin1String("; ")));
    }

    // A refused frame is reported; a server still opens it, to answer with a standard exception,
    // when its envelope is sound.
    void badFramesAreRefused_data()
    {
        QTest::addColumn<int>("framing");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("response");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<bool>("sound");
        QTest::addColumn<QString>("message");

        // Good frames come from pymodbus in tst_pymodbusframes, and the TCP server suite takes the
        // last transaction id and refuses a bad protocol id, a zero length and an overlong frame.
        const auto row = [](int framing, const char *name, const QByteArray &frame, bool response, bool whole,
                            bool sound, const char *message) {
            QTest::addRow("%s %s", framing == Rtu ? "RTU" : "TCP", name)
                    << framing << frame << response << whole << sound << QString::fromLatin1(message);
        };
        row(Rtu, "answer one byte short", hex("01 03 02 00 2A 39"), true, false, false,
            "crc checksum error in bytes: 01 03 02 00 2a 39");
        row(Rtu, "3 bytes", hex("01 83 02"), true, false, false, "bytes array is too short");
        row(Rtu, "257 bytes", QByteArray(257, '\x03'), true, false, false, "bytes array is too long");
        row(Rtu, "read of zero registers", hex("01 03 00 00 00 00 45 CA"), false, true, true,
            "reading registers count can't be zero");
        row(Rtu, "unsupported function", hex("11 2B 0E 01 00 B1 B4"), false, false, true,
            "unsupported Function Code");
        row(Tcp, "request one byte short", hex("00 05 00 00 00 06 01 03 00 00 00"), false, false, false,
            "invalid bytes array size");
        row(Tcp, "header only", hex("00 05 00 00 00 06 01"), false, false, false, "bytes array is too short");
        row(Tcp, "length too long", hex("00 05 00 00 00 07 01 03 00 00 00 01"), false, true, false,
            "bad TCP/IP ADU package length");
        row(Tcp, "protocol id 1", hex("00 05 00 01 00 06 01 03 00 00 00 01"), false, false, false,
            "invalid Protocol ID");
        row(Tcp, "unsupported function", hex("00 05 00 00 00 05 11 2B 0E 01 00"), false, false, true,
            "unsupported Function Code");
    }

    void badFramesAreRefused()
    {
        QFETCH(int, framing);
        QFETCH(QByteArray, frame);
        QFETCH(bool, response);
        QFETCH(bool, whole);
        QFETCH(bool, sound);
        QFETCH(QString, message);

        ModbusParser &parser = this->parser(framing);
        const ModbusParseInfo info(response ? TavrexBus::Response : TavrexBus::Request);
        QCOMPARE(parser.canParse(exact(frame), info.state()), whole);
        QSignalSpy errors(&parser, &ErrObject::error);
        const quint64 count = parser.errorCount();
        const std::unique_ptr<IPacket> packet(parser.parse(exact(frame), info, nullptr));
        QVERIFY(!packet);
        const QString expected = QLatin1String(framing == Rtu ? "ModbusRTUParser" : "ModbusTCPParser")
                + QLatin1String(" parse error: ") + message + QLatin1String("; bytes: ")
                + QString::fromLatin1(frame.toHex(' '));
        QCOMPARE(parser.errorString(), expected);
        QCOMPARE(parser.errorCount(), count + 1);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().first().toString(), expected);

        quint8 unit = 0;
        ModbusBytes pdu;
        QCOMPARE(parser.unwrapFrame(exact(frame), &unit, &pdu), sound);
        if (sound) {
            QCOMPARE(unit, quint8(frame.at(framing == Rtu ? 0 : 6)));
            QCOMPARE(pdu, framing == Rtu ? frame.mid(1, frame.size() - 3) : frame.mid(7));
        }
    }

    void parserStaysUsableAfterError()
    {
        const ModbusParseInfo info(TavrexBus::Request);
        QVERIFY(!m_rtuParser.parse(hex("01 03 00 00 00 01 84 0A"), ForeignInfo(), nullptr));
        QVERIFY(m_rtuParser.errorString().endsWith(
                QLatin1String("ERROR: invalid parse info class; bytes: 01 03 00 00 00 01 84 0a")));
        const std::unique_ptr<IPacket> packet(m_rtuParser.parse(hex("01 03 00 00 00 01 84 0A"), info, nullptr));
        QVERIFY(packet);
    }

    void refusesWhatCannotBeFramed_data()
    {
        QTest::addColumn<int>("framing");
        QTest::addColumn<bool>("foreignPacket");
        QTest::addColumn<bool>("withTarget");
        QTest::addColumn<QString>("message");

        const QString rtu = QStringLiteral("ModbusRTUDeParser deparse error: ");
        const QString tcp = QStringLiteral("ModbusTCPDeparser parse error: ");
        QTest::newRow("RTU foreign packet") << int(Rtu) << true << true << rtu + "ERROR: invalid packet class";
        QTest::newRow("RTU 126 registers") << int(Rtu) << false << true << rtu + "deparsed packet is too large";
        QTest::newRow("TCP without target") << int(Tcp) << false << false << tcp + "ERROR: invalid target class";
        QTest::newRow("TCP foreign packet") << int(Tcp) << true << true << tcp + "ERROR: invalid packet class";
        QTest::newRow("TCP 126 registers") << int(Tcp) << false << true << tcp + "deparsed packet is too large";
    }

    void refusesWhatCannotBeFramed()
    {
        QFETCH(int, framing);
        QFETCH(bool, foreignPacket);
        QFETCH(bool, withTarget);
        QFETCH(QString, message);

        ModbusPacketReg answer;
        answer.setFunctionCode(TavrexBus::ReadHoldingRegisters);
        answer.setState(TavrexBus::Response);
        // One register more than either framing holds; the target and the class are checked first.
        answer.setRegBytes(ModbusBytes(QByteArray(2 * 126, '\x01')));
        ForeignPacket foreign;
        ModbusTcpTarget target;
        ModbusBytes out = hex("01 02");
        QVERIFY(!deparser(framing).deparse(foreignPacket ? static_cast<const IPacket &>(foreign) : answer, out,
                                           withTarget ? &target : nullptr));
        QCOMPARE(deparser(framing).errorString(), message);
        QVERIFY(out.isEmpty());
        if (foreignPacket)
            QVERIFY(!deparser(framing).canDeparse(foreign));
    }
};

QTEST_GUILESS_MAIN(tst_ModbusFraming)
#include "tst_modbusframing.moc"
