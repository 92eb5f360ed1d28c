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

namespace {

class ForeignPacket : public IPacket
{
public:
    QString toString(bool) const override { return QString(); }
};

template<typename T>
PacketFactory packet(int code, TavrexBus::PacketState state, std::function<void(T &)> fill)
{
    return [=] {
        auto *p = new T;
        p->setFunctionCode(TavrexBus::FunctionCode(code));
        p->setState(state);
        fill(*p);
        return p;
    };
}

ModbusBytes registers(int count)
{
    return ModbusBytes(QByteArray(2 * count, '\x11'));
}

} // namespace

class tst_ModbusDeparser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buildsEveryFunction_data();
    void buildsEveryFunction();
    void refusesPacketsItCannotWrite_data();
    void refusesPacketsItCannotWrite();
    void writesUpTo122Registers_data();
    void writesUpTo122Registers();
    void yearByteFollowsCentury_data();
    void yearByteFollowsCentury();
    void canDeparseOnlySupportedModbusPackets();

private:
    ModbusRTUDeparser m_deparser;
};

void tst_ModbusDeparser::buildsEveryFunction_data()
{
    QTest::addColumn<PacketFactory>("built");
    QTest::addColumn<QByteArray>("pdu");

    for (const Sample &sample : samples())
        QTest::newRow(sample.name) << sample.built << QByteArray(hex(sample.pdu));
    QTest::newRow("16 request at 0x0100")
            << packet<ModbusPacketReg>(16, TavrexBus::Request,
                                       [](ModbusPacketReg &p) {
                                           p.setRequestAddress(0x0100);
                                           p.setRegBytes(hex("00 01 00 02"));
                                       })
            << QByteArray(hex("10 01 00 00 02 04 00 01 00 02"));
    QTest::newRow("3 request at 0x0010")
            << packet<ModbusPacketReg>(3, TavrexBus::Request,
                                       [](ModbusPacketReg &p) {
                                           p.setRequestAddress(0x10);
                                           p.setRequestRegistersCount(2);
                                       })
            << QByteArray(hex("03 00 10 00 02"));
    QTest::newRow("odd register bytes write whole registers only")
            << packet<ModbusPacketReg>(4, TavrexBus::Response,
                                       [](ModbusPacketReg &p) { p.setRegBytes(hex("00 2A 07")); })
            << QByteArray(hex("04 02 00 2A"));
}

void tst_ModbusDeparser::buildsEveryFunction()
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

void tst_ModbusDeparser::refusesPacketsItCannotWrite_data()
{
    QTest::addColumn<PacketFactory>("factory");
    QTest::addColumn<QString>("message");

    using Reg = ModbusPacketReg;
    using File = ModbusPacketFile;
    using Arch = ModbusPacketArch;
    const auto Req = TavrexBus::Request;
    const auto Resp = TavrexBus::Response;
    const auto row = [](const char *name, const PacketFactory &factory, const char *message) {
        QTest::newRow(name) << factory << QString::fromLatin1(message);
    };
    row("exception in a request", packet<Reg>(3, Req, [](Reg &p) {
            p.setExceptionCode(TavrexBus::IllegalDataAddress);
        }), "exception packet must have 'Responsde' state");
    row("unsupported function", packet<Reg>(5, Req, [](Reg &) {}), "unknown function code");
    row("read count zero", packet<Reg>(3, Req, [](Reg &) {}),
        "request registers count must be greater than zero");
    row("read answer empty", packet<Reg>(4, Resp, [](Reg &) {}),
        "request registers have not registers");
    row("write one without value", packet<Reg>(6, Req, [](Reg &) {}),
        "packet must have one register to write");
    row("write one with two values", packet<Reg>(6, Resp, [](Reg &p) { p.setRegBytes(registers(2)); }),
        "packet must have one register to write");
    row("write none", packet<Reg>(16, Req, [](Reg &) {}), "packet must have any registers to write");
    row("write 123", packet<Reg>(16, Req, [](Reg &p) { p.setRegBytes(registers(123)); }),
        "too much registers to write");
    row("write answer without count", packet<Reg>(16, Resp, [](Reg &) {}),
        "you must set 'registersWritten'");
    row("report answer empty", packet<ModbusPacketReport>(17, Resp, [](ModbusPacketReport &) {}),
        "packet must contain report bytes");
    row("65 without records", packet<Arch>(65, Req, [](Arch &p) { p.setRequestRecordsCount(0); }),
        "packet must contains records");
    row("65 index beyond 16 bits", packet<Arch>(65, Req, [](Arch &p) { p.setRequestLabel(65536u); }),
        "for deparsing 65 function record index must be in less than 2 bytes length");
    row("67 without records", packet<Arch>(67, Req, [](Arch &p) { p.setRequestRecordsCount(0); }),
        "packet must contains records");
    row("66 without labels",
        packet<ModbusPacketArchPresence>(66, Req, [](ModbusPacketArchPresence &p) {
            p.setRequestLabelsCount(0);
        }), "requestLabelsCount must be non zero");
    row("68 count zero", packet<File>(68, Req, [](File &) {}),
        "file request registers count count must be greater than zero");
    row("68 answer empty", packet<File>(68, Resp, [](File &) {}),
        "read file answer has not registers");
    row("69 without data", packet<File>(69, Req, [](File &) {}),
        "file request registers count count must be greater than zero");
    row("69 123 registers", packet<File>(69, Req, [](File &p) { p.bytes = registers(123); }),
        "too much registers to write to file");
    row("69 answer without count", packet<File>(69, Resp, [](File &) {}), "regsWritten didn't set");
    row("function of another class", packet<File>(3, Req, [](File &) {}),
        "ERROR: invalid packet class");
}

void tst_ModbusDeparser::refusesPacketsItCannotWrite()
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

void tst_ModbusDeparser::writesUpTo122Registers_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("headerSize");

    QTest::newRow("16") << 16 << 6;
    QTest::newRow("69") << 69 << 5;
}

void tst_ModbusDeparser::writesUpTo122Registers()
{
    QFETCH(int, function);
    QFETCH(int, headerSize);

    std::unique_ptr<ModbusPacket> source;
    if (function == 16) {
        auto *reg = new ModbusPacketReg;
        reg->setRegBytes(registers(122));
        source.reset(reg);
    } else {
        auto *file = new ModbusPacketFile;
        file->bytes = registers(122);
        source.reset(file);
    }
    source->setFunctionCode(TavrexBus::FunctionCode(function));
    ModbusBytes out;
    m_deparser.deparseModbusPDU(*source, out);
    QCOMPARE(out.size(), headerSize + 244);
    QCOMPARE(uchar(out.at(headerSize - 1)), uchar(function == 16 ? 244 : 122));
}

void tst_ModbusDeparser::yearByteFollowsCentury_data()
{
    QTest::addColumn<QDateTime>("label");
    QTest::addColumn<QByteArray>("fields");

    QTest::newRow("1970") << QDateTime(QDate(1970, 1, 1), QTime(0, 0))
                          << QByteArray(hex("00 00 00 01 01 46"));
    QTest::newRow("1999") << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59))
                          << QByteArray(hex("3B 3B 17 1F 0C 63"));
    QTest::newRow("2000") << QDateTime(QDate(2000, 2, 29), QTime(12, 0, 1))
                          << QByteArray(hex("01 00 0C 1D 02 00"));
    QTest::newRow("2069") << QDateTime(QDate(2069, 12, 31), QTime(23, 59, 59))
                          << QByteArray(hex("3B 3B 17 1F 0C 45"));
}

void tst_ModbusDeparser::yearByteFollowsCentury()
{
    QFETCH(QDateTime, label);
    QFETCH(QByteArray, fields);

    ModbusPacketArch source(TavrexBus::TimeArch);
    source.setFunctionCode(TavrexBus::ReadArchRecord65);
    source.setRequestLabel(label);
    ModbusBytes out;
    m_deparser.deparseModbusPDU(source, out);
    QCOMPARE(out.right(6).toHex(' '), fields.toHex(' '));
}

void tst_ModbusDeparser::canDeparseOnlySupportedModbusPackets()
{
    ModbusPacketReg supported;
    supported.setFunctionCode(TavrexBus::ReadInputRegisters);
    ModbusPacketReg unsupported;
    unsupported.setFunctionCode(TavrexBus::WriteSingleCoil);
    QVERIFY(m_deparser.canDeparse(supported));
    QVERIFY(!m_deparser.canDeparse(unsupported));
    QVERIFY(!m_deparser.canDeparse(ForeignPacket()));
    for (int code : { 3, 4, 6, 16, 17, 65, 66, 67, 68, 69 })
        QVERIFY(m_deparser.isFunctionSupported(TavrexBus::FunctionCode(code)));
    QVERIFY(!m_deparser.isFunctionSupported(TavrexBus::ReadFileRecord));
}

QTEST_APPLESS_MAIN(tst_ModbusDeparser)
#include "tst_modbusdeparser.moc"
