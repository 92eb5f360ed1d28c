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

class ForeignPacket : public IPacket
{
public:
    QString toString(bool) const override { return QString(); }
};

class ForeignInfo : public IParseInfo
{
public:
    QString toString(bool) const override { return QString(); }
};

PacketFactory readRegisters(int code, int unit, int address, int count)
{
    return [=] {
        auto *p = new ModbusPacketReg;
        p->setFunctionCode(TavrexBus::FunctionCode(code));
        p->setAddress(uchar(unit));
        p->setRequestAddress(quint16(address));
        p->setRequestRegistersCount(quint16(count));
        return p;
    };
}

PacketFactory registerAnswer(int code, int unit, const char *values)
{
    return [=] {
        auto *p = new ModbusPacketReg;
        p->setFunctionCode(TavrexBus::FunctionCode(code));
        p->setState(TavrexBus::Response);
        p->setAddress(uchar(unit));
        p->setRegBytes(hex(values));
        return p;
    };
}

} // namespace

class tst_ModbusFraming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTripsEveryFunction_data();
    void roundTripsEveryFunction();
    void decodesIndependentFrames_data();
    void decodesIndependentFrames();
    void canParseWaitsForWholeFrame_data();
    void canParseWaitsForWholeFrame();
    void malformedFrameIsReported_data();
    void malformedFrameIsReported();
    void parserStaysUsableAfterError();
    void refusesWhatCannotBeFramed_data();
    void refusesWhatCannotBeFramed();
    void tcpFrameCarriesTargetTransaction();
    void parse2HandsOverThePacket();
    void tcpDispatcherNeverCancels();
    void framingObjectsDescribeThemselves();

private:
    ModbusRTUParser m_rtuParser;
    ModbusTCPParser m_tcpParser;
    ModbusRTUDeparser m_rtuDeparser;
    ModbusTCPDeparser m_tcpDeparser;
};

void tst_ModbusFraming::roundTripsEveryFunction_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("requestCount");
    QTest::addColumn<int>("archType");
    QTest::addColumn<PacketFactory>("built");
    QTest::addColumn<QByteArray>("pdu");
    QTest::addColumn<PacketFactory>("parsed");

    for (const Sample &s : samples()) {
        for (int framing : { Rtu, Tcp }) {
            QTest::addRow("%s %s", framing == Rtu ? "RTU" : "TCP", s.name)
                    << framing << int(s.state) << int(s.requestCount) << int(s.archType)
                    << s.built << QByteArray(hex(s.pdu)) << s.parsed;
        }
    }
}

void tst_ModbusFraming::roundTripsEveryFunction()
{
    QFETCH(int, framing);
    QFETCH(int, state);
    QFETCH(int, requestCount);
    QFETCH(int, archType);
    QFETCH(PacketFactory, built);
    QFETCH(QByteArray, pdu);
    QFETCH(PacketFactory, parsed);

    const std::unique_ptr<ModbusPacket> source(built());
    source->setAddress(17);
    ModbusTcpTarget target;
    target.setTransactionID(0xBEEF);
    ModbusBytes frame;
    Deparser &deparser = framing == Rtu ? static_cast<Deparser &>(m_rtuDeparser) : m_tcpDeparser;
    ModbusParser &parser = framing == Rtu ? static_cast<ModbusParser &>(m_rtuParser) : m_tcpParser;
    QVERIFY2(deparser.deparse(*source, frame, &target), qPrintable(deparser.errorString()));

    if (framing == Rtu) {
        QCOMPARE(frame.mid(1, frame.size() - 3).toHex(' '), pdu.toHex(' '));
        QCOMPARE(uchar(frame.at(0)), uchar(17));
        QVERIFY(frame.checkCrc16());
    } else {
        const QByteArray header = QByteArray::fromHex("BEEF0000")
                + ModbusBytes::fromUInt16(quint16(pdu.size() + 1)) + QByteArray(1, '\x11');
        QCOMPARE(frame.toHex(' '), (header + pdu).toHex(' '));
    }

    const ModbusParseInfo info{ TavrexBus::PacketState(state), quint16(requestCount),
                                TavrexBus::ArchType(archType) };
    QVERIFY(parser.canParse(exact(frame), info.state()));
    const std::unique_ptr<IPacket> back(parser.parse(exact(frame), info, &target));
    QVERIFY2(back, qPrintable(parser.errorString()));
    const std::unique_ptr<ModbusPacket> wanted(parsed());
    wanted->setAddress(17);
    const auto &modbus = dynamic_cast<const ModbusPacket &>(*back);
    QVERIFY2(equal(modbus, *wanted),
             qPrintable(modbus.toString(true) + QLatin1String(" | ") + wanted->toString(true)));
}

void tst_ModbusFraming::decodesIndependentFrames_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("response");
    QTest::addColumn<PacketFactory>("expected");

    // Frames written by other Modbus implementations and the protocol's documents.
    const auto rtu = [](const char *name, const char *frame, bool response, PacketFactory f) {
        QTest::addRow("RTU %s", name) << int(Rtu) << QByteArray(hex(frame)) << response << f;
    };
    const auto tcp = [](const char *name, const char *frame, bool response, PacketFactory f) {
        QTest::addRow("TCP %s", name) << int(Tcp) << QByteArray(hex(frame)) << response << f;
    };
    rtu("read holding", "01 03 00 6B 00 03 74 17", false, readRegisters(3, 1, 0x6B, 3));
    rtu("read one", "01 03 00 00 00 01 84 0A", false, readRegisters(3, 1, 0, 1));
    rtu("read holding answer", "01 03 06 02 2B 00 00 00 64 05 7A", true,
        registerAnswer(3, 1, "02 2B 00 00 00 64"));
    rtu("read input unit 17", "11 04 00 08 00 01 B2 98", false, readRegisters(4, 17, 8, 1));
    rtu("read input answer", "11 04 02 00 0A F8 F4", true, registerAnswer(4, 17, "00 0A"));
    rtu("write single", "01 06 00 01 00 03 98 0B", false, [] {
        auto *p = static_cast<ModbusPacketReg *>(readRegisters(6, 1, 1, 1)());
        p->setRegBytes(hex("00 03"));
        return p;
    });
    rtu("write multiple", "01 10 00 01 00 02 04 00 0A 01 02 92 30", false, [] {
        auto *p = static_cast<ModbusPacketReg *>(readRegisters(16, 1, 1, 2)());
        p->setRegBytes(hex("00 0A 01 02"));
        return p;
    });
    rtu("write multiple answer", "01 10 00 01 00 02 10 08", true, [] {
        auto *p = static_cast<ModbusPacketReg *>(registerAnswer(16, 1, "")());
        p->setRegistersWritten(2);
        return p;
    });
    rtu("report slave id", "01 11 C0 2C", false, [] { return new ModbusPacketReport; });
    rtu("exception", "01 83 02 C0 F1", true, [] {
        auto *p = static_cast<ModbusPacketReg *>(registerAnswer(3, 1, "")());
        p->setExceptionCode(TavrexBus::IllegalDataAddress);
        return p;
    });
    tcp("read holding", "00 01 00 00 00 06 01 03 00 6B 00 03", false, readRegisters(3, 1, 0x6B, 3));
    tcp("read one", "00 05 00 00 00 06 01 03 00 00 00 01", false, readRegisters(3, 1, 0, 1));
    tcp("read holding answer", "00 01 00 00 00 09 01 03 06 02 2B 00 00 00 64", true,
        registerAnswer(3, 1, "02 2B 00 00 00 64"));
    tcp("read input answer", "00 11 00 00 00 05 11 04 02 00 0A", true,
        registerAnswer(4, 17, "00 0A"));
    tcp("exception", "00 01 00 00 00 03 01 83 02", true, [] {
        auto *p = static_cast<ModbusPacketReg *>(registerAnswer(3, 1, "")());
        p->setExceptionCode(TavrexBus::IllegalDataAddress);
        return p;
    });
}

void tst_ModbusFraming::decodesIndependentFrames()
{
    QFETCH(int, framing);
    QFETCH(QByteArray, frame);
    QFETCH(bool, response);
    QFETCH(PacketFactory, expected);

    ModbusParser &parser = framing == Rtu ? static_cast<ModbusParser &>(m_rtuParser) : m_tcpParser;
    const ModbusParseInfo info(response ? TavrexBus::Response : TavrexBus::Request);
    QVERIFY(parser.canParse(exact(frame), info.state()));
    const std::unique_ptr<IPacket> packet(parser.parse(exact(frame), info, nullptr));
    QVERIFY2(packet, qPrintable(parser.errorString()));
    const std::unique_ptr<ModbusPacket> wanted(expected());
    wanted->setState(info.state());
    const auto &modbus = dynamic_cast<const ModbusPacket &>(*packet);
    QVERIFY2(equal(modbus, *wanted),
             qPrintable(modbus.toString(true) + QLatin1String(" | ") + wanted->toString(true)));

    // What we write for the same packet is what the other side wrote.
    ModbusTcpTarget target;
    target.setTransactionID(quint16(frame.left(2).toHex().toUInt(nullptr, 16)));
    ModbusBytes written;
    Deparser &deparser = framing == Rtu ? static_cast<Deparser &>(m_rtuDeparser) : m_tcpDeparser;
    const bool echoedFields = wanted->functionCode() == TavrexBus::WriteMultipleRegisters
            && response;
    if (!echoedFields) {
        QVERIFY2(deparser.deparse(*wanted, written, &target), qPrintable(deparser.errorString()));
        QCOMPARE(written.toHex(' '), frame.toHex(' '));
    }
}

void tst_ModbusFraming::canParseWaitsForWholeFrame_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("response");
    QTest::addColumn<bool>("whole");

    const auto row = [](const char *name, int framing, const char *frame, bool response,
                        bool whole) {
        QTest::newRow(name) << framing << QByteArray(hex(frame)) << response << whole;
    };
    row("RTU request", Rtu, "01 03 00 00 00 01 84 0A", false, true);
    row("RTU request with CRC swapped", Rtu, "01 03 00 00 00 01 0A 84", false, true);
    row("RTU request one byte short", Rtu, "01 03 00 00 00 01 84", false, false);
    row("RTU answer", Rtu, "01 03 02 00 2A 39 9B", true, true);
    row("RTU answer one byte short", Rtu, "01 03 02 00 2A 39", true, false);
    row("RTU answer read as request", Rtu, "01 03 02 00 2A 39 9B", false, false);
    row("RTU three bytes", Rtu, "01 83 02", true, false);
    row("TCP request", Tcp, "00 05 00 00 00 06 01 03 00 00 00 01", false, true);
    row("TCP request with wrong length", Tcp, "00 05 00 00 00 07 01 03 00 00 00 01", false, true);
    row("TCP request with protocol 1", Tcp, "00 05 00 01 00 06 01 03 00 00 00 01", false, false);
    row("TCP request one byte short", Tcp, "00 05 00 00 00 06 01 03 00 00 00", false, false);
    row("TCP header only", Tcp, "00 05 00 00 00 06 01", false, false);
}

void tst_ModbusFraming::canParseWaitsForWholeFrame()
{
    QFETCH(int, framing);
    QFETCH(QByteArray, frame);
    QFETCH(bool, response);
    QFETCH(bool, whole);

    const ModbusParser &parser =
            framing == Rtu ? static_cast<ModbusParser &>(m_rtuParser) : m_tcpParser;
    QCOMPARE(parser.canParse(exact(frame), response ? TavrexBus::Response : TavrexBus::Request),
             whole);
}

void tst_ModbusFraming::malformedFrameIsReported_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("response");
    QTest::addColumn<QString>("message");

    const auto row = [](const char *name, int framing, const QByteArray &frame, bool response,
                        const QString &message) {
        QTest::newRow(name) << framing << frame << response << message;
    };
    row("RTU 3 bytes", Rtu, hex("01 83 02"), true, QStringLiteral("bytes array is too short"));
    row("RTU 257 bytes", Rtu, QByteArray(257, '\x03'), true,
        QStringLiteral("bytes array is too long"));
    row("RTU CRC swapped", Rtu, hex("01 03 00 00 00 01 0A 84"), false,
        QStringLiteral("crc checksum error in bytes: 01 03 00 00 00 01 0a 84"));
    row("RTU truncated", Rtu, hex("01 03 00 00 00 01 84"), false,
        QStringLiteral("crc checksum error in bytes: 01 03 00 00 00 01 84"));
    row("RTU unknown function", Rtu, hex("01 09 00 00 00 00"), false,
        QStringLiteral("unknown Function Code"));
    row("RTU answer truncated", Rtu, hex("01 03 04 00 2A D9 9A"), true,
        QStringLiteral("invalid bytes array size"));
    row("RTU read of zero registers", Rtu, hex("01 03 00 00 00 00 45 CA"), false,
        QStringLiteral("reading registers count can't be zero"));
    row("TCP 7 bytes", Tcp, hex("00 05 00 00 00 01 01"), false,
        QStringLiteral("bytes array is too short"));
    row("TCP 261 bytes", Tcp, hex("00 05 00 00 00 FF 01") + QByteArray(254, '\x03'), true,
        QStringLiteral("bytes array is too long"));
    row("TCP protocol 1", Tcp, hex("00 05 00 01 00 06 01 03 00 00 00 01"), false,
        QStringLiteral("invalid Protocol ID"));
    row("TCP zero length", Tcp, hex("00 05 00 00 00 00 01 03 00 00 00 01"), false,
        QStringLiteral("zero Length"));
    row("TCP length too long", Tcp, hex("00 05 00 00 00 07 01 03 00 00 00 01"), false,
        QStringLiteral("bad TCP/IP ADU package length"));
    row("TCP length too short", Tcp, hex("00 05 00 00 00 02 01 03 00 00 00 01"), false,
        QStringLiteral("bad TCP/IP ADU package length"));
    row("TCP write counts disagree", Tcp, hex("00 05 00 00 00 09 01 10 00 01 00 02 02 00 01"),
        false, QStringLiteral("registers count and bytes count doesn't match"));
}

void tst_ModbusFraming::malformedFrameIsReported()
{
    QFETCH(int, framing);
    QFETCH(QByteArray, frame);
    QFETCH(bool, response);
    QFETCH(QString, message);

    ModbusParser &parser = framing == Rtu ? static_cast<ModbusParser &>(m_rtuParser) : m_tcpParser;
    QSignalSpy errors(&parser, &ErrObject::error);
    const quint64 count = parser.errorCount();
    const ModbusParseInfo info(response ? TavrexBus::Response : TavrexBus::Request);
    QVERIFY(!parser.parse(exact(frame), info, nullptr));
    const QString prefix = framing == Rtu ? QStringLiteral("ModbusRTUParser parse error: ")
                                          : QStringLiteral("ModbusTCPParser parse error: ");
    const QString expected = prefix + message + QLatin1String("; bytes: ")
            + QString::fromLatin1(frame.toHex(' '));
    QCOMPARE(parser.errorString(), expected);
    QCOMPARE(parser.errorCount(), count + 1);
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().first().toString(), expected);
}

void tst_ModbusFraming::parserStaysUsableAfterError()
{
    const ModbusParseInfo info(TavrexBus::Request);
    QVERIFY(!m_rtuParser.parse(hex("01 03 00 00 00 01 0A 84"), info, nullptr));
    QVERIFY(!m_rtuParser.parse(hex("01 03 00 00 00 01 84 0A"), ForeignInfo(), nullptr));
    QVERIFY(m_rtuParser.errorString().endsWith(
            QLatin1String("ERROR: invalid parse info class; bytes: 01 03 00 00 00 01 84 0a")));
    const std::unique_ptr<IPacket> packet(
            m_rtuParser.parse(hex("01 03 00 00 00 01 84 0A"), info, nullptr));
    QVERIFY(packet);
}

void tst_ModbusFraming::refusesWhatCannotBeFramed_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<int>("registers");
    QTest::addColumn<bool>("foreignPacket");
    QTest::addColumn<bool>("withTarget");
    QTest::addColumn<QString>("message");

    QTest::newRow("RTU foreign packet") << int(Rtu) << 1 << true << true
            << QStringLiteral("ModbusRTUDeParser deparse error: ERROR: invalid packet class");
    QTest::newRow("RTU 126 registers") << int(Rtu) << 126 << false << true
            << QStringLiteral("ModbusRTUDeParser deparse error: deparsed packet is too large");
    QTest::newRow("RTU no registers") << int(Rtu) << 0 << false << true
            << QStringLiteral("ModbusRTUDeParser deparse error: request registers have not registers");
    QTest::newRow("TCP without target") << int(Tcp) << 1 << false << false
            << QStringLiteral("ModbusTCPDeparser parse error: ERROR: invalid target class");
    QTest::newRow("TCP foreign packet") << int(Tcp) << 1 << true << true
            << QStringLiteral("ModbusTCPDeparser parse error: ERROR: invalid packet class");
    QTest::newRow("TCP 126 registers") << int(Tcp) << 126 << false << true
            << QStringLiteral("ModbusTCPDeparser parse error: deparsed packet is too large");
}

void tst_ModbusFraming::refusesWhatCannotBeFramed()
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
    const IPacket &packet = foreignPacket ? static_cast<const IPacket &>(foreign) : answer;
    ModbusTcpTarget target;
    Deparser &deparser = framing == Rtu ? static_cast<Deparser &>(m_rtuDeparser) : m_tcpDeparser;
    ModbusBytes out = hex("01 02");
    QVERIFY(!deparser.deparse(packet, out, withTarget ? &target : nullptr));
    QCOMPARE(deparser.errorString(), message);
    QVERIFY(out.isEmpty());
}

void tst_ModbusFraming::tcpFrameCarriesTargetTransaction()
{
    const std::unique_ptr<ModbusPacket> request(readRegisters(3, 1, 0, 1)());
    ModbusTcpTarget target;
    target.setTransactionID(5);
    ModbusBytes out;
    QVERIFY(m_tcpDeparser.deparse(*request, out, &target));
    QCOMPARE(out.toHex(' '), QByteArray("00 05 00 00 00 06 01 03 00 00 00 01"));
    target.setTransactionID(65535);
    QVERIFY(m_tcpDeparser.deparse(*request, out, &target));
    QCOMPARE(out.left(2).toHex(' '), QByteArray("ff ff"));
}

void tst_ModbusFraming::parse2HandsOverThePacket()
{
    IPacket *packet = nullptr;
    QVERIFY(m_tcpParser.parse2(hex("00 05 00 00 00 06 01 03 00 00 00 01"),
                               ModbusParseInfo(TavrexBus::Request), nullptr, &packet));
    const std::unique_ptr<IPacket> owner(packet);
    QVERIFY(packet);
    QVERIFY(!m_tcpParser.parse2(hex("00 05 00 00 00 07 01 03 00 00 00 01"),
                                ModbusParseInfo(TavrexBus::Request), nullptr, &packet));
    QVERIFY(!packet);
}

void tst_ModbusFraming::tcpDispatcherNeverCancels()
{
    ModbusTCPPacketDispatcher dispatcher;
    const std::unique_ptr<ModbusPacket> packet(readRegisters(3, 1, 0, 1)());
    bool cancel = false;
    dispatcher.onPacketReceiving(*packet, nullptr, cancel);
    dispatcher.onPacketSending(*packet, nullptr, cancel);
    QVERIFY(!cancel);
}

void tst_ModbusFraming::framingObjectsDescribeThemselves()
{
    QCOMPARE(m_rtuParser.toString(false), QStringLiteral("Modbus RTU parser: \n"));
    QCOMPARE(m_tcpParser.toString(true), QStringLiteral("Modbus TCP parser: ; "));
    QCOMPARE(m_rtuDeparser.toString(false), QStringLiteral("Modbus RTU deparser\n"));
    QCOMPARE(m_tcpDeparser.toString(false), QStringLiteral("Modbus TCP deparser\n"));
    QCOMPARE(ModbusTCPPacketDispatcher().toString(true),
             QStringLiteral("Modbus TCP packet dispatcher: ; "));
    QCOMPARE(ModbusTcpTarget().toString(true),
             QStringLiteral("address: 127.0.0.1; port: 502; transaction ID: 0; "));
}

QTEST_GUILESS_MAIN(tst_ModbusFraming)
#include "tst_modbusframing.moc"
