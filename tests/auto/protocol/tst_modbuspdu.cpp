#include "packettesting.h"

#include <TavrexBus1/modbuspacketarch.h>
#include <TavrexBus1/modbuspacketarchpresence.h>
#include <TavrexBus1/modbuspacketfile.h>
#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbuspacketreport.h>
#include <TavrexBus1/modbusparseinfo.h>
#include <TavrexBus1/modbusrtudeparser.h>
#include <TavrexBus1/modbusrtuparser.h>

#include <QtTest/QtTest>

#include <memory>

using namespace PacketTesting;

using Reg = ModbusPacketReg;
using File = ModbusPacketFile;
using Arch = ModbusPacketArch;

static ModbusBytes registers(int count)
{
    return ModbusBytes(QByteArray(2 * count, '\x11'));
}

// Whole messages of every function round-trip in tst_modbusframing; here the PDU layer's
// completeness decisions, refusals and edge cases, and the packets' own rules.
class tst_ModbusPdu : public QObject
{
    Q_OBJECT

    std::unique_ptr<ModbusPacket> parse(const ModbusBytes &pdu, const ModbusParseInfo &info)
    {
        std::unique_ptr<ModbusPacket> packet(m_parser.createPacket(pdu, info));
        m_parser.parseModbusPDU(pdu, info, *packet);
        return packet;
    }

    // Writes the packet's PDU into out; returns why it refused, or nothing.
    QString build(const ModbusPacket &packet, ModbusBytes &out)
    {
        try {
            m_deparser.deparseModbusPDU(packet, out);
        } catch (const QString &reason) {
            return reason;
        }
        return QString();
    }

    ModbusRTUParser m_parser;
    ModbusRTUDeparser m_deparser;

private Q_SLOTS:
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
        row("write count zero", hex("10 00 01 00 00 02 00 01"), req, 1, true,
            "writing registers count can't be zero");
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
        QCOMPARE(m_parser.ModbusParser::canParse(exact(pdu), info.state()), whole);
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
            m_parser.checkDataSize(hex("05 00 01 FF 00"), TavrexBus::Request);
            QFAIL("accepted");
        } catch (const QString &reason) {
            QCOMPARE(reason, QStringLiteral("unsupported funcion code"));
        }
    }

    void impossibleTimeLabelReadsAsInvalid()
    {
        // 31 February; the valid ones round-trip in tst_modbusframing.
        const auto packet = parse(exact(hex("41 00 01 00 01 01 00 00 00 1F 02 18")),
                                  ModbusParseInfo(TavrexBus::Request));
        QCOMPARE(static_cast<const ModbusPacketArch &>(*packet).requestLabel(), uint(TavrexBus::InvalidTimeLabel));
    }

    void archiveAnswerForZeroRecordsIsOneRecord()
    {
        // Answers split into the requested records round-trip in tst_modbusframing.
        const auto packet = parse(exact(hex("43 0C 01 02 03 04 05 06 07 08 09 0A 0B 0C")),
                                  ModbusParseInfo(TavrexBus::Response, 0, TavrexBus::TimeArch));
        const auto &arch = static_cast<const ModbusPacketArch &>(*packet);
        QCOMPARE(arch.records().size(), 1);
        QCOMPARE(arch.records().first().size(), 12);
        QCOMPARE(arch.archType(), TavrexBus::TimeArch);
    }

    void presenceAnswerKeepsWholeLabelsOnly()
    {
        const auto packet = parse(exact(hex("42 06 00 00 00 07 00 08")), ModbusParseInfo(TavrexBus::Response));
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
        QCOMPARE(m_deparser.canDeparse(*source), source->functionCode() != TavrexBus::WriteSingleCoil);
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

QTEST_APPLESS_MAIN(tst_ModbusPdu)
#include "tst_modbuspdu.moc"
