#include "packettesting.h"

#include <TavrexBus1/modbuspacketarch.h>
#include <TavrexBus1/modbuspacketarchpresence.h>
#include <TavrexBus1/modbuspacketfile.h>
#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbuspacketreport.h>
#include <TavrexBus1/modbusrtudeparser.h>

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

// Every function's sample PDU is built in tst_modbusframing's round trips; here the cases
// beyond them and every refusal.
class tst_ModbusDeparser : public QObject
{
    Q_OBJECT

    ModbusRTUDeparser m_deparser;

private Q_SLOTS:
    void buildsPdu_data()
    {
        QTest::addColumn<PacketFactory>("built");
        QTest::addColumn<QByteArray>("pdu");

        QTest::newRow("16 request at 0x0100") << make<Reg>(16, TavrexBus::Request, [](Reg &p) {
            p.setRequestAddress(0x0100);
            p.setRegBytes(hex("00 01 00 02"));
        }) << QByteArray(hex("10 01 00 00 02 04 00 01 00 02"));
        QTest::newRow("3 request at 0x0010") << make<Reg>(3, TavrexBus::Request, [](Reg &p) {
            p.setRequestAddress(0x10);
            p.setRequestRegistersCount(2);
        }) << QByteArray(hex("03 00 10 00 02"));
        QTest::newRow("odd register bytes write whole registers only")
                << make<Reg>(4, TavrexBus::Response, [](Reg &p) { p.setRegBytes(hex("00 2A 07")); })
                << QByteArray(hex("04 02 00 2A"));
        QTest::newRow("16 writes 122 registers")
                << make<Reg>(16, TavrexBus::Request, [](Reg &p) { p.setRegBytes(registers(122)); })
                << QByteArray(hex("10 00 00 00 7A F4") + registers(122));
        QTest::newRow("69 writes 122 registers")
                << make<File>(69, TavrexBus::Request, [](File &p) { p.bytes = registers(122); })
                << QByteArray(hex("45 00 00 00 7A") + registers(122));
        // The year byte follows the century.
        const auto label = [](const char *year, const QDateTime &time, const char *fields) {
            QTest::addRow("time label %s", year) << make<Arch>(65, TavrexBus::Request, [=](Arch &p) {
                p.setArchType(TavrexBus::TimeArch);
                p.setRequestLabel(time);
            }) << QByteArray(hex("41 00 00 00 01 01") + hex(fields));
        };
        label("1970", QDateTime(QDate(1970, 1, 1), QTime(0, 0)), "00 00 00 01 01 46");
        label("1999", QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)), "3B 3B 17 1F 0C 63");
        label("2000", QDateTime(QDate(2000, 2, 29), QTime(12, 0, 1)), "01 00 0C 1D 02 00");
        label("2069", QDateTime(QDate(2069, 12, 31), QTime(23, 59, 59)), "3B 3B 17 1F 0C 45");
    }

    void buildsPdu()
    {
        QFETCH(PacketFactory, built);
        QFETCH(QByteArray, pdu);

        const std::unique_ptr<ModbusPacket> source(built());
        ModbusBytes out = hex("DE AD");
        try {
            m_deparser.deparseModbusPDU(*source, out);
        } catch (const QString &message) {
            QFAIL(qPrintable(message));
        }
        QCOMPARE(out.toHex(' '), pdu.toHex(' '));
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
        row("write one without value", make<Reg>(6, Req, [](Reg &) {}), "packet must have one register to write");
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
        try {
            m_deparser.deparseModbusPDU(*source, out);
            QFAIL(qPrintable(QLatin1String("written: ") + QString::fromLatin1(out.toHex(' '))));
        } catch (const QString &reason) {
            QCOMPARE(reason, message);
        }
    }

    void canDeparseOnlySupportedModbusPackets()
    {
        Reg packet;
        packet.setFunctionCode(TavrexBus::ReadInputRegisters);
        QVERIFY(m_deparser.canDeparse(packet));
        packet.setFunctionCode(TavrexBus::WriteSingleCoil);
        QVERIFY(!m_deparser.canDeparse(packet));
        QVERIFY(!m_deparser.canDeparse(ForeignPacket()));
        for (int code : { 3, 4, 6, 16, 17, 65, 66, 67, 68, 69 })
            QVERIFY(m_deparser.isFunctionSupported(TavrexBus::FunctionCode(code)));
        QVERIFY(!m_deparser.isFunctionSupported(TavrexBus::ReadFileRecord));
    }
};

QTEST_APPLESS_MAIN(tst_ModbusDeparser)
#include "tst_modbusdeparser.moc"
