#include "packettesting.h"
#include "programrun.h"
#include "signaltexts.h"

#include <TavrexBus1/modbuspacketarch.h>
#include <TavrexBus1/modbuspacketarchpresence.h>
#include <TavrexBus1/modbuspacketfile.h>
#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbuspacketreport.h>
#include <TavrexBus1/modbusparseinfo.h>
#include <TavrexBus1/modbusrtudeparser.h>
#include <TavrexBus1/modbusrtuparser.h>
#include <TavrexBus1/modbustcpdeparser.h>
#include <TavrexBus1/modbustcpparser.h>
#include <TavrexBus1/modbustcptarget.h>

#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtTest/QtTest>

#include <memory>

using namespace PacketTesting;

using Reg = ModbusPacketReg;
using File = ModbusPacketFile;
using Arch = ModbusPacketArch;

namespace {

enum Framing { Rtu, Tcp };

class ForeignInfo : public IParseInfo
{
public:
    QString toString(bool) const override { return QString(); }
};

// A valid message of every function and direction not exchanged with pymodbus: the packet built, its PDU, and
// the packet parsed back where that differs (answers of 6 and 16 keep no echoed fields).
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
    using Presence = ModbusPacketArchPresence;
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

ModbusBytes registers(int count)
{
    return ModbusBytes(QByteArray(2 * count, '\x11'));
}

} // namespace

Q_DECLARE_METATYPE(Sample)

// Whole frames of both framings, ours and pymodbus's, and the PDU layer inside them.
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

    std::unique_ptr<ModbusPacket> parse(const ModbusBytes &pdu, const ModbusParseInfo &info)
    {
        std::unique_ptr<ModbusPacket> packet(m_rtuParser.createPacket(pdu, info));
        m_rtuParser.parseModbusPDU(pdu, info, *packet);
        return packet;
    }

    // Writes the packet's PDU into out; returns why it refused, or nothing.
    QString build(const ModbusPacket &packet, ModbusBytes &out)
    {
        try {
            m_rtuDeparser.deparseModbusPDU(packet, out);
        } catch (const QString &reason) {
            return reason;
        }
        return QString();
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

    // Frames of pymodbus with contents it picks: we must take them and write them again byte for byte.
    // What the fields mean is checked by the TCP interop suite and the engine suite's peer runs.
    void peerFramesAreTakenAndWrittenAgain()
    {
        if (runProgram(QStringLiteral("/usr/bin/python3"), { "-c", "import pymodbus" }).exitCode != 0)
            QSKIP("pymodbus is not installed for /usr/bin/python3");
        const ProgramRun peer = runProgram(QStringLiteral("/usr/bin/python3"), { PYMODBUS_PEER, "encode", "7" });
        QVERIFY2(peer.exitCode == 0, qPrintable(peer.err));
        const QList<QByteArray> lines = peer.out.toUtf8().split('\n');
        QVERIFY(lines.size() > 400);
        for (const QByteArray &line : lines) {
            if (line.isEmpty())
                continue;
            const QList<QByteArray> parts = line.split(' ');
            const int framing = parts.at(0) == "rtu" ? Rtu : Tcp;
            const bool request = parts.at(1) == "request";
            const ModbusBytes frame(QByteArray::fromHex(parts.at(2)));
            const QJsonObject fields = QJsonDocument::fromJson(line.mid(
                    parts.at(0).size() + parts.at(1).size() + parts.at(2).size() + 3)).object();
            const ModbusParseInfo info(request ? TavrexBus::Request : TavrexBus::Response);

            QVERIFY2(parser(framing).canParse(frame, info.state()), line.constData());
            const std::unique_ptr<IPacket> parsed(parser(framing).parse(frame, info, nullptr));
            QVERIFY2(parsed, qPrintable(parser(framing).errorString()));
            const auto &packet = dynamic_cast<const ModbusPacket &>(*parsed);
            QCOMPARE(int(packet.address()), fields.value(QLatin1String("unit")).toInt());
            const int fc = fields.value(QLatin1String("fc")).toInt();
            QCOMPARE(int(packet.functionCode()), fc & 0x7F);
            // Answers of 6 and 16 keep none of the echoed fields, so they cannot be written again.
            if (request || (fc != TavrexBus::WriteSingleRegister && fc != TavrexBus::WriteMultipleRegisters)) {
                ModbusTcpTarget target;
                target.setTransactionID(frame.toUInt16(0));
                ModbusBytes written;
                QVERIFY2(deparser(framing).deparse(packet, written, &target),
                         qPrintable(deparser(framing).errorString()));
                QCOMPARE(written.toHex(' '), frame.toHex(' '));
            }
            if (fc & 0x80)
                QCOMPARE(int(packet.exceptionCode()), fields.value(QLatin1String("exception_code")).toInt());
        }
    }

    // A refused frame is reported; a server still opens it, to answer with an exception, if its envelope is sound.
    void badFramesAreRefused_data()
    {
        QTest::addColumn<int>("framing");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("response");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<bool>("sound");
        QTest::addColumn<QString>("message");

        // The TCP server suite refuses a bad protocol id, a zero length and an overlong frame on a live link.
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
        row(Rtu, "unsupported function", hex("11 2B 0E 01 00 B1 B4"), false, false, true, "unsupported Function Code");
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
        const std::unique_ptr<IPacket> packet(parser.parse(exact(frame), info, nullptr));
        QVERIFY(!packet);
        const QString expected = QLatin1String(framing == Rtu ? "ModbusRTUParser" : "ModbusTCPParser")
                + QLatin1String(" parse error: ") + message + QLatin1String("; bytes: ")
                + QString::fromLatin1(frame.toHex(' '));
        QCOMPARE(signalTexts(errors), QStringList{expected});

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

    void completenessAndRefusals_data()
    {
        QTest::addColumn<QByteArray>("pdu");
        QTest::addColumn<bool>("response");
        QTest::addColumn<int>("requestCount");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QString>("message");

        // An empty message: the PDU parses.
        const auto row = [](const char *name, const QByteArray &pdu, bool response, int count, bool whole,
                            const char *message) {
            QTest::newRow(name) << pdu << response << count << whole << QString::fromLatin1(message);
        };
        const bool req = false;
        const bool resp = true;
        // Over the protocol limit, yet whole: the server answers it with an exception.
        row("read request of 200 registers", hex("03 00 00 00 C8"), req, 1, true, "");
        row("read request one short", hex("03 00 00 00"), req, 1, false, "invalid bytes array size");
        row("read count zero", hex("03 00 00 00 00"), req, 1, true, "reading registers count can't be zero");
        row("read answer odd count", hex("03 03 00 01 00"), resp, 1, true, "Bad Modbus PDU(bytes count)");
        row("byte count short of data", hex("04 02 00 01 00 02"), resp, 1, false, "invalid bytes array size");
        row("write request missing value", hex("10 00 01 00 01 02 00"), req, 1, false, "invalid bytes array size");
        row("write request too short", hex("10 00 01 00 00 00"), req, 1, false, "invalid bytes array size");
        row("write count zero", hex("10 00 01 00 00 02 00 01"), req, 1, true, "writing registers count can't be zero");
        // 2 * 129 registers is 2 in a byte: the counts must be compared unwrapped.
        row("write 129 registers claims 2 bytes", hex("10 00 01 00 81 02 00 01"), req, 1, true,
            "registers count and bytes count doesn't match");
        row("report answer without data", hex("11 00"), resp, 1, false, "invalid bytes array size");
        row("65 time request needs 12", hex("41 00 01 00 02 01 00 05"), req, 1, false, "invalid bytes array size");
        row("65 unknown arch type", hex("41 00 01 00 02 02 00 05"), req, 1, false, "invalid bytes array size");
        row("65 count zero", hex("41 00 01 00 00 00 00 05"), req, 1, true, "read arch records count can't be zero");
        row("65 records disagree", hex("41 0C 01 02 03 04 05 06 07 08 09 0A 0B 0C"), resp, 5, true,
            "invalid arch record data length or response records count doesn't match requested");
        row("66 empty answer", hex("42 00"), resp, 1, true, "");
        row("66 unknown arch type", hex("42 00 01 00 01 02 00 00 00 01 00"), req, 1, true, "unknown arch type");
        row("66 count zero", hex("42 00 01 00 00 00 00 00 00 01 00"), req, 1, true,
            "read arch labels count can't be zero");
        row("66 unknown direction", hex("42 00 01 00 01 00 00 00 00 01 02"), req, 1, true, "unknown arch direction");
        row("67 count zero", hex("43 00 01 00 00 00 00 00 00 01 00"), req, 1, true,
            "read arch request records count can't be zero");
        row("68 count zero", hex("44 00 00 01 00"), req, 1, true, "reading file registers count can't be zero");
        row("69 request short of data", hex("45 00 00 01 02 00 07"), req, 1, false, "invalid bytes array size");
        row("exception with extra byte", hex("83 02 00"), resp, 1, false, "");
        row("unknown exception code", hex("83 07"), resp, 1, true, "unknown Exception Code");
        row("exception code zero", hex("83 00"), resp, 1, true, "unknown Exception Code");
        row("exception without code", hex("83"), resp, 1, false, "unknown Exception Code");
        row("unsupported exception", hex("85 01"), resp, 1, false, "unsupported Function Code");
        row("unknown function", hex("09 00 01"), req, 1, false, "unknown Function Code");
        row("empty", QByteArray(), req, 1, false, "invalid bytes array size");
        row("254 bytes", QByteArray(254, '\x03'), resp, 1, false, "bytes array is too long");
    }

    void completenessAndRefusals()
    {
        QFETCH(QByteArray, pdu);
        QFETCH(bool, response);
        QFETCH(int, requestCount);
        QFETCH(bool, whole);
        QFETCH(QString, message);

        const ModbusParseInfo info(response ? TavrexBus::Response : TavrexBus::Request, quint16(requestCount),
                                   TavrexBus::IndexArch);
        QCOMPARE(m_rtuParser.ModbusParser::canParse(exact(pdu), info.state()), whole);
        try {
            parse(exact(pdu), info);
            QVERIFY2(message.isEmpty(), "parsed");
        } catch (const QString &reason) {
            QCOMPARE(reason, message);
        }
    }

    void checkDataSizeRefusesUnsupportedFunction()
    {
        try {
            m_rtuParser.checkDataSize(hex("05 00 01 FF 00"), TavrexBus::Request);
            QFAIL("accepted");
        } catch (const QString &reason) {
            QCOMPARE(reason, QStringLiteral("unsupported funcion code"));
        }
    }

    // PDUs that mean less than their bytes say; the usual ones round-trip in roundTripsEveryFunction.
    void unusualPdusParse()
    {
        // 31 February is an invalid label.
        auto packet = parse(exact(hex("41 00 01 00 01 01 00 00 00 1F 02 18")), ModbusParseInfo(TavrexBus::Request));
        QCOMPARE(static_cast<const Arch &>(*packet).requestLabel(), uint(TavrexBus::InvalidTimeLabel));
        // An answer for zero records is one record.
        packet = parse(exact(hex("43 0C 01 02 03 04 05 06 07 08 09 0A 0B 0C")),
                       ModbusParseInfo(TavrexBus::Response, 0, TavrexBus::TimeArch));
        QCOMPARE(static_cast<const Arch &>(*packet).records(),
                 QList<ModbusBytes>{hex("01 02 03 04 05 06 07 08 09 0A 0B 0C")});
        QCOMPARE(static_cast<const Arch &>(*packet).archType(), TavrexBus::TimeArch);
        // A presence answer keeps whole labels only.
        packet = parse(exact(hex("42 06 00 00 00 07 00 08")), ModbusParseInfo(TavrexBus::Response));
        QCOMPARE(QByteArray(static_cast<const ModbusPacketArchPresence &>(*packet).labels()),
                 QByteArray(hex("00 00 00 07")));
    }

    void buildsPdu_data()
    {
        QTest::addColumn<PacketFactory>("built");
        QTest::addColumn<QByteArray>("pdu");

        QTest::newRow("odd register bytes write whole registers only")
                << make<Reg>(4, TavrexBus::Response, [](Reg &p) { p.setRegBytes(hex("00 2A 07")); })
                << QByteArray(hex("04 02 00 2A"));
        QTest::newRow("16 writes 122 registers")
                << make<Reg>(16, TavrexBus::Request, [](Reg &p) { p.setRegBytes(registers(122)); })
                << QByteArray(hex("10 00 00 00 7A F4") + registers(122));
        QTest::newRow("69 writes 122 registers")
                << make<File>(69, TavrexBus::Request, [](File &p) { p.bytes = registers(122); })
                << QByteArray(hex("45 00 00 00 7A") + registers(122));
    }

    void buildsPdu()
    {
        QFETCH(PacketFactory, built);
        QFETCH(QByteArray, pdu);

        const std::unique_ptr<ModbusPacket> source(built());
        ModbusBytes out = hex("DE AD");
        QCOMPARE(build(*source, out), QString());
        QCOMPARE(out.toHex(' '), pdu.toHex(' ')); // replaces what out held
    }

    void refusesPacketsItCannotWrite_data()
    {
        QTest::addColumn<PacketFactory>("factory");
        QTest::addColumn<QString>("message");

        const auto Req = TavrexBus::Request;
        const auto Resp = TavrexBus::Response;
        const auto row = [](const char *name, const PacketFactory &factory, const char *message) {
            QTest::newRow(name) << factory << QString::fromLatin1(message);
        };
        row("exception in a request",
            make<Reg>(3, Req, [](Reg &p) { p.setExceptionCode(TavrexBus::IllegalDataAddress); }),
            "exception packet must have 'Responsde' state");
        row("unsupported function", make<Reg>(5, Req, [](Reg &) {}), "unknown function code");
        row("read count zero", make<Reg>(3, Req, [](Reg &) {}), "request registers count must be greater than zero");
        row("read answer empty", make<Reg>(4, Resp, [](Reg &) {}), "request registers have not registers");
        row("write one with two values", make<Reg>(6, Resp, [](Reg &p) { p.setRegBytes(registers(2)); }),
            "packet must have one register to write");
        row("write none", make<Reg>(16, Req, [](Reg &) {}), "packet must have any registers to write");
        row("write 123", make<Reg>(16, Req, [](Reg &p) { p.setRegBytes(registers(123)); }),
            "too much registers to write");
        row("write answer without count", make<Reg>(16, Resp, [](Reg &) {}), "you must set 'registersWritten'");
        row("report answer empty", make<ModbusPacketReport>(17, Resp, [](ModbusPacketReport &) {}),
            "packet must contain report bytes");
        row("65 without records", make<Arch>(65, Req, [](Arch &p) { p.setRequestRecordsCount(0); }),
            "packet must contains records");
        row("65 index beyond 16 bits", make<Arch>(65, Req, [](Arch &p) { p.setRequestLabel(65536u); }),
            "for deparsing 65 function record index must be in less than 2 bytes length");
        row("67 without records", make<Arch>(67, Req, [](Arch &p) { p.setRequestRecordsCount(0); }),
            "packet must contains records");
        row("66 without labels",
            make<ModbusPacketArchPresence>(66, Req, [](ModbusPacketArchPresence &p) { p.setRequestLabelsCount(0); }),
            "requestLabelsCount must be non zero");
        row("68 count zero", make<File>(68, Req, [](File &) {}),
            "file request registers count count must be greater than zero");
        row("68 answer empty", make<File>(68, Resp, [](File &) {}), "read file answer has not registers");
        row("69 without data", make<File>(69, Req, [](File &) {}),
            "file request registers count count must be greater than zero");
        row("69 123 registers", make<File>(69, Req, [](File &p) { p.bytes = registers(123); }),
            "too much registers to write to file");
        row("69 answer without count", make<File>(69, Resp, [](File &) {}), "regsWritten didn't set");
        row("function of another class", make<File>(3, Req, [](File &) {}), "ERROR: invalid packet class");
    }

    void refusesPacketsItCannotWrite()
    {
        QFETCH(PacketFactory, factory);
        QFETCH(QString, message);

        const std::unique_ptr<ModbusPacket> source(factory());
        ModbusBytes out;
        QCOMPARE(build(*source, out), message);
        // Only the unsupported function is refused up front; the rest for what they hold.
        QCOMPARE(m_rtuDeparser.canDeparse(*source), source->functionCode() != TavrexBus::WriteSingleCoil);
    }

    void packetEqualitySeesEveryField()
    {
        // The round trips compare packets with ==: it must not overlook a field.
        Reg a;
        a.setFunctionCode(TavrexBus::WriteMultipleRegisters);
        const auto differs = [&a](const std::function<void(Reg &)> &change) {
            Reg b(a);
            change(b);
            return a != b;
        };
        QVERIFY(!differs([](Reg &) {}));
        QVERIFY(differs([](Reg &p) { p.setRegistersWritten(3); }));
        QVERIFY(differs([](Reg &p) { p.appendRegValue(0x1234); }));
        QVERIFY(differs([](Reg &p) { p.setAddress(7); }));
    }

    void setLabelsCountTrimsOrPads()
    {
        ModbusPacketArchPresence packet;
        for (uint label : { 1u, 2u, 3u, 4u, 5u })
            packet.appendLabel(label);
        packet.setLabelsCount(3);
        QCOMPARE(QByteArray(packet.labels()), QByteArray(hex("00000001 00000002 00000003")));
        packet.setLabelsCount(4);
        QCOMPARE(QByteArray(packet.labels()), QByteArray(hex("00000001 00000002 00000003 00000000")));
        packet.setLabelsCount(0);
        QVERIFY(packet.labels().isEmpty());
    }

    void assignmentKeepsKind()
    {
        Reg registers;
        File file;
        file.setFunctionCode(TavrexBus::FunctionCode(68));
        static_cast<ModbusPacket &>(registers) = file;
        QCOMPARE(registers.kind(), TavrexBus::RegistersPacket);
        QCOMPARE(int(registers.functionCode()), 68);
    }
};

QTEST_GUILESS_MAIN(tst_ModbusFraming)
#include "tst_modbusframing.moc"
