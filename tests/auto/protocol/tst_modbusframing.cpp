#include "packettesting.h"

#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbuspacketreport.h>
#include <TavrexBus1/modbusparseinfo.h>
#include <TavrexBus1/modbusrtudeparser.h>
#include <TavrexBus1/modbusrtuparser.h>
#include <TavrexBus1/modbustcpdeparser.h>
#include <TavrexBus1/modbustcppacketdispatcher.h>
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

PacketFactory registers(int code, int unit, int address, int count, const char *values = "",
                        TavrexBus::PacketState state = TavrexBus::Request)
{
    return make<ModbusPacketReg>(code, state, [=](ModbusPacketReg &p) {
        p.setAddress(uchar(unit));
        p.setRequestAddress(quint16(address));
        p.setRequestRegistersCount(quint16(count));
        p.setRegBytes(hex(values));
    });
}

PacketFactory answer(int code, int unit, const char *values, std::function<void(ModbusPacketReg &)> more = {})
{
    return make<ModbusPacketReg>(code, TavrexBus::Response, [=](ModbusPacketReg &p) {
        p.setAddress(uchar(unit));
        p.setRegBytes(hex(values));
        if (more)
            more(p);
    });
}

const auto refusal = [](ModbusPacketReg &p) { p.setExceptionCode(TavrexBus::IllegalDataAddress); };

} // namespace

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
    static QByteArray describe(const ModbusPacket &a, const ModbusPacket &b)
    {
        return (a.toString(true) + QLatin1String(" | ") + b.toString(true)).toLocal8Bit();
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

        const ModbusParseInfo info{ sample.state, sample.requestCount, sample.archType };
        QVERIFY(parser(framing).canParse(exact(frame), info.state()));
        const std::unique_ptr<IPacket> back(parser(framing).parse(exact(frame), info, &target));
        QVERIFY2(back, qPrintable(parser(framing).errorString()));
        const std::unique_ptr<ModbusPacket> wanted(sample.parsed());
        wanted->setAddress(17);
        const auto &modbus = dynamic_cast<const ModbusPacket &>(*back);
        QVERIFY2(equal(modbus, *wanted), describe(modbus, *wanted));
    }

    void decodesIndependentFrames_data()
    {
        QTest::addColumn<int>("framing");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("response");
        QTest::addColumn<PacketFactory>("expected");

        // Frames written by other Modbus implementations and the protocol's documents.
        const auto row = [](int framing, const char *name, const char *frame, bool response, PacketFactory f) {
            QTest::addRow("%s %s", framing == Rtu ? "RTU" : "TCP", name)
                    << framing << QByteArray(hex(frame)) << response << f;
        };
        row(Rtu, "read holding", "01 03 00 6B 00 03 74 17", false, registers(3, 1, 0x6B, 3));
        row(Rtu, "read one", "01 03 00 00 00 01 84 0A", false, registers(3, 1, 0, 1));
        row(Rtu, "read holding answer", "01 03 06 02 2B 00 00 00 64 05 7A", true, answer(3, 1, "02 2B 00 00 00 64"));
        row(Rtu, "read input unit 17", "11 04 00 08 00 01 B2 98", false, registers(4, 17, 8, 1));
        row(Rtu, "read input answer", "11 04 02 00 0A F8 F4", true, answer(4, 17, "00 0A"));
        row(Rtu, "write single", "01 06 00 01 00 03 98 0B", false, registers(6, 1, 1, 1, "00 03"));
        row(Rtu, "write multiple", "01 10 00 01 00 02 04 00 0A 01 02 92 30", false,
            registers(16, 1, 1, 2, "00 0A 01 02"));
        row(Rtu, "write multiple answer", "01 10 00 01 00 02 10 08", true,
            answer(16, 1, "", [](ModbusPacketReg &p) { p.setRegistersWritten(2); }));
        row(Rtu, "report slave id", "01 11 C0 2C", false, [] { return new ModbusPacketReport; });
        row(Rtu, "exception", "01 83 02 C0 F1", true, answer(3, 1, "", refusal));
        row(Tcp, "read holding", "00 01 00 00 00 06 01 03 00 6B 00 03", false, registers(3, 1, 0x6B, 3));
        row(Tcp, "read one", "00 05 00 00 00 06 01 03 00 00 00 01", false, registers(3, 1, 0, 1));
        row(Tcp, "last transaction", "FF FF 00 00 00 06 01 03 00 00 00 01", false, registers(3, 1, 0, 1));
        row(Tcp, "read holding answer", "00 01 00 00 00 09 01 03 06 02 2B 00 00 00 64", true,
            answer(3, 1, "02 2B 00 00 00 64"));
        row(Tcp, "read input answer", "00 11 00 00 00 05 11 04 02 00 0A", true, answer(4, 17, "00 0A"));
        row(Tcp, "exception", "00 01 00 00 00 03 01 83 02", true, answer(3, 1, "", refusal));
    }

    void decodesIndependentFrames()
    {
        QFETCH(int, framing);
        QFETCH(QByteArray, frame);
        QFETCH(bool, response);
        QFETCH(PacketFactory, expected);

        const ModbusParseInfo info(response ? TavrexBus::Response : TavrexBus::Request);
        QVERIFY(parser(framing).canParse(exact(frame), info.state()));
        const std::unique_ptr<IPacket> packet(parser(framing).parse(exact(frame), info, nullptr));
        QVERIFY2(packet, qPrintable(parser(framing).errorString()));
        const std::unique_ptr<ModbusPacket> wanted(expected());
        wanted->setState(info.state());
        const auto &modbus = dynamic_cast<const ModbusPacket &>(*packet);
        QVERIFY2(equal(modbus, *wanted), describe(modbus, *wanted));

        // What we write for the same packet is what the other side wrote.
        if (wanted->functionCode() == TavrexBus::WriteMultipleRegisters && response)
            return; // the answer keeps no echoed address
        ModbusTcpTarget target;
        target.setTransactionID(quint16(frame.left(2).toHex().toUInt(nullptr, 16)));
        ModbusBytes written;
        QVERIFY2(deparser(framing).deparse(*wanted, written, &target), qPrintable(deparser(framing).errorString()));
        QCOMPARE(written.toHex(' '), frame.toHex(' '));
    }

    void incompleteOrMalformedFrame_data()
    {
        QTest::addColumn<int>("framing");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("response");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QString>("message");

        // An empty message: the frame parses.
        const auto row = [](int framing, const char *name, const QByteArray &frame, bool response, bool whole,
                            const char *message) {
            QTest::addRow("%s %s", framing == Rtu ? "RTU" : "TCP", name)
                    << framing << frame << response << whole << QString::fromLatin1(message);
        };
        row(Rtu, "request", hex("01 03 00 00 00 01 84 0A"), false, true, "");
        row(Rtu, "CRC swapped", hex("01 03 00 00 00 01 0A 84"), false, true,
            "crc checksum error in bytes: 01 03 00 00 00 01 0a 84");
        row(Rtu, "request one byte short", hex("01 03 00 00 00 01 84"), false, false,
            "crc checksum error in bytes: 01 03 00 00 00 01 84");
        row(Rtu, "answer", hex("01 03 02 00 2A 39 9B"), true, true, "");
        row(Rtu, "answer one byte short", hex("01 03 02 00 2A 39"), true, false,
            "crc checksum error in bytes: 01 03 02 00 2a 39");
        row(Rtu, "answer read as request", hex("01 03 02 00 2A 39 9B"), false, false, "invalid bytes array size");
        row(Rtu, "3 bytes", hex("01 83 02"), true, false, "bytes array is too short");
        row(Rtu, "257 bytes", QByteArray(257, '\x03'), true, false, "bytes array is too long");
        row(Rtu, "unknown function", hex("01 09 00 00 00 00"), false, false, "unknown Function Code");
        row(Rtu, "answer truncated", hex("01 03 04 00 2A D9 9A"), true, false, "invalid bytes array size");
        row(Rtu, "read of zero registers", hex("01 03 00 00 00 00 45 CA"), false, true,
            "reading registers count can't be zero");
        row(Tcp, "request", hex("00 05 00 00 00 06 01 03 00 00 00 01"), false, true, "");
        row(Tcp, "request one byte short", hex("00 05 00 00 00 06 01 03 00 00 00"), false, false,
            "invalid bytes array size");
        row(Tcp, "header only", hex("00 05 00 00 00 06 01"), false, false, "bytes array is too short");
        row(Tcp, "7 bytes", hex("00 05 00 00 00 01 01"), false, false, "bytes array is too short");
        row(Tcp, "261 bytes", hex("00 05 00 00 00 FF 01") + QByteArray(254, '\x03'), true, false,
            "bytes array is too long");
        row(Tcp, "protocol 1", hex("00 05 00 01 00 06 01 03 00 00 00 01"), false, false, "invalid Protocol ID");
        row(Tcp, "zero length", hex("00 05 00 00 00 00 01 03 00 00 00 01"), false, true, "zero Length");
        row(Tcp, "length too long", hex("00 05 00 00 00 07 01 03 00 00 00 01"), false, true,
            "bad TCP/IP ADU package length");
        row(Tcp, "length too short", hex("00 05 00 00 00 02 01 03 00 00 00 01"), false, true,
            "bad TCP/IP ADU package length");
        row(Tcp, "write counts disagree", hex("00 05 00 00 00 09 01 10 00 01 00 02 02 00 01"), false, true,
            "registers count and bytes count doesn't match");
    }

    void incompleteOrMalformedFrame()
    {
        QFETCH(int, framing);
        QFETCH(QByteArray, frame);
        QFETCH(bool, response);
        QFETCH(bool, whole);
        QFETCH(QString, message);

        ModbusParser &parser = this->parser(framing);
        const ModbusParseInfo info(response ? TavrexBus::Response : TavrexBus::Request);
        QCOMPARE(parser.canParse(exact(frame), info.state()), whole);
        QSignalSpy errors(&parser, &ErrObject::error);
        const quint64 count = parser.errorCount();
        const std::unique_ptr<IPacket> packet(parser.parse(exact(frame), info, nullptr));
        if (message.isEmpty()) {
            QVERIFY2(packet, qPrintable(parser.errorString()));
            QCOMPARE(errors.size(), 0);
            return;
        }
        QVERIFY(!packet);
        const QString expected = QLatin1String(framing == Rtu ? "ModbusRTUParser" : "ModbusTCPParser")
                + QLatin1String(" parse error: ") + message + QLatin1String("; bytes: ")
                + QString::fromLatin1(frame.toHex(' '));
        QCOMPARE(parser.errorString(), expected);
        QCOMPARE(parser.errorCount(), count + 1);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().first().toString(), expected);
    }

    void parserStaysUsableAfterError()
    {
        const ModbusParseInfo info(TavrexBus::Request);
        QVERIFY(!m_rtuParser.parse(hex("01 03 00 00 00 01 0A 84"), info, nullptr));
        QVERIFY(!m_rtuParser.parse(hex("01 03 00 00 00 01 84 0A"), ForeignInfo(), nullptr));
        QVERIFY(m_rtuParser.errorString().endsWith(
                QLatin1String("ERROR: invalid parse info class; bytes: 01 03 00 00 00 01 84 0a")));
        const std::unique_ptr<IPacket> packet(m_rtuParser.parse(hex("01 03 00 00 00 01 84 0A"), info, nullptr));
        QVERIFY(packet);
    }

    void refusesWhatCannotBeFramed_data()
    {
        QTest::addColumn<int>("framing");
        QTest::addColumn<int>("registers");
        QTest::addColumn<bool>("foreignPacket");
        QTest::addColumn<bool>("withTarget");
        QTest::addColumn<QString>("message");

        const QString rtu = QStringLiteral("ModbusRTUDeParser deparse error: ");
        const QString tcp = QStringLiteral("ModbusTCPDeparser parse error: ");
        QTest::newRow("RTU foreign packet") << int(Rtu) << 1 << true << true << rtu + "ERROR: invalid packet class";
        QTest::newRow("RTU 126 registers") << int(Rtu) << 126 << false << true << rtu + "deparsed packet is too large";
        QTest::newRow("RTU no registers") << int(Rtu) << 0 << false << true
                                          << rtu + "request registers have not registers";
        QTest::newRow("TCP without target") << int(Tcp) << 1 << false << false << tcp + "ERROR: invalid target class";
        QTest::newRow("TCP foreign packet") << int(Tcp) << 1 << true << true << tcp + "ERROR: invalid packet class";
        QTest::newRow("TCP 126 registers") << int(Tcp) << 126 << false << true << tcp + "deparsed packet is too large";
    }

    void refusesWhatCannotBeFramed()
    {
        QFETCH(int, framing);
        QFETCH(int, registers);
        QFETCH(bool, foreignPacket);
        QFETCH(bool, withTarget);
        QFETCH(QString, message);

        ModbusPacketReg answer;
        answer.setFunctionCode(TavrexBus::ReadHoldingRegisters);
        answer.setState(TavrexBus::Response);
        answer.setRegBytes(ModbusBytes(QByteArray(2 * registers, '\x01')));
        ForeignPacket foreign;
        ModbusTcpTarget target;
        ModbusBytes out = hex("01 02");
        QVERIFY(!deparser(framing).deparse(foreignPacket ? static_cast<const IPacket &>(foreign) : answer, out,
                                           withTarget ? &target : nullptr));
        QCOMPARE(deparser(framing).errorString(), message);
        QVERIFY(out.isEmpty());
    }

    void parse2HandsOverThePacket()
    {
        IPacket *packet = nullptr;
        QVERIFY(m_tcpParser.parse2(hex("00 05 00 00 00 06 01 03 00 00 00 01"), ModbusParseInfo(TavrexBus::Request),
                                   nullptr, &packet));
        const std::unique_ptr<IPacket> owner(packet);
        QVERIFY(packet);
        QVERIFY(!m_tcpParser.parse2(hex("00 05 00 00 00 07 01 03 00 00 00 01"), ModbusParseInfo(TavrexBus::Request),
                                    nullptr, &packet));
        QVERIFY(!packet);
    }

    void tcpDispatcherNeverCancels()
    {
        ModbusTCPPacketDispatcher dispatcher;
        const std::unique_ptr<ModbusPacket> packet(registers(3, 1, 0, 1)());
        bool cancel = false;
        dispatcher.onPacketReceiving(*packet, nullptr, cancel);
        dispatcher.onPacketSending(*packet, nullptr, cancel);
        QVERIFY(!cancel);
    }

    void framingObjectsDescribeThemselves()
    {
        QCOMPARE(m_rtuParser.toString(false), QStringLiteral("Modbus RTU parser: \n"));
        QCOMPARE(m_tcpParser.toString(true), QStringLiteral("Modbus TCP parser: ; "));
        QCOMPARE(m_rtuDeparser.toString(false), QStringLiteral("Modbus RTU deparser\n"));
        QCOMPARE(m_tcpDeparser.toString(false), QStringLiteral("Modbus TCP deparser\n"));
        QCOMPARE(ModbusTCPPacketDispatcher().toString(true), QStringLiteral("Modbus TCP packet dispatcher: ; "));
        QCOMPARE(ModbusTcpTarget().toString(true),
                 QStringLiteral("address: 127.0.0.1; port: 502; transaction ID: 0; "));
    }
};

QTEST_GUILESS_MAIN(tst_ModbusFraming)
#include "tst_modbusframing.moc"
