#include <TavrexBus1/modbuspacketarch.h>
#include <TavrexBus1/modbuspacketarchpresence.h>
#include <TavrexBus1/modbuspacketfile.h>
#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbuspacketreport.h>
#include <TavrexBus1/modbusparseinfo.h>

#include <QtTest/QtTest>

#include <memory>

using Factory = std::function<ModbusPacket *()>;
Q_DECLARE_METATYPE(Factory)

class tst_ModbusPacket : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newPacketHasDefaults_data();
    void newPacketHasDefaults();
    void registerPacketsDifferingInOneFieldAreNotEqual();
    void presenceKeepsFunction66AcrossCopies();
    void setLabelsCountTrimsOrPads_data();
    void setLabelsCountTrimsOrPads();
    void assignmentKeepsKind();
    void archRecordsSumTheirSizes();
    void reportCarriesDeviceName();
    void oneLineTextHasNoLineBreak_data();
    void oneLineTextHasNoLineBreak();
    void registerTextListsRegisters();
    void parseInfoConstructorsAgree();
};

void tst_ModbusPacket::newPacketHasDefaults_data()
{
    QTest::addColumn<Factory>("factory");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("functionCode");

    QTest::newRow("registers") << Factory([] { return new ModbusPacketReg; })
                               << int(TavrexBus::RegistersPacket) << 0;
    QTest::newRow("archive") << Factory([] { return new ModbusPacketArch; })
                             << int(TavrexBus::ArchivePacket) << 0;
    QTest::newRow("report") << Factory([] { return new ModbusPacketReport; })
                            << int(TavrexBus::ReportSlavePacket) << 17;
    QTest::newRow("presence") << Factory([] { return new ModbusPacketArchPresence; })
                              << int(TavrexBus::ArchPresencePacket) << 66;
    QTest::newRow("file") << Factory([] { return new ModbusPacketFile; })
                          << int(TavrexBus::FilePacket) << 0;
}

void tst_ModbusPacket::newPacketHasDefaults()
{
    QFETCH(Factory, factory);
    QFETCH(int, kind);
    QFETCH(int, functionCode);

    std::unique_ptr<ModbusPacket> packet(factory());
    QCOMPARE(int(packet->kind()), kind);
    QCOMPARE(int(packet->functionCode()), functionCode);
    QCOMPARE(packet->address(), uchar(1));
    QCOMPARE(packet->state(), TavrexBus::Request);
    QVERIFY(!packet->hasException());
}

void tst_ModbusPacket::registerPacketsDifferingInOneFieldAreNotEqual()
{
    ModbusPacketReg a;
    a.setFunctionCode(TavrexBus::WriteMultipleRegisters);
    ModbusPacketReg b(a);
    QVERIFY(a == b);
    QCOMPARE(a.registersCount(), 0);
    QCOMPARE(a.requestRegistersCount(), quint16(0));

    b.setRegistersWritten(3);
    QVERIFY(a != b);
    b = a;
    b.appendRegValue(0x1234);
    QVERIFY(a != b);
    QCOMPARE(b.regBytes(), ModbusBytes(QByteArray::fromHex("1234")));
    b = a;
    b.setAddress(7);
    QVERIFY(a != b);
}

void tst_ModbusPacket::presenceKeepsFunction66AcrossCopies()
{
    ModbusPacketArchPresence original(TavrexBus::TimeArch, 4);
    original.setFunctionCode(TavrexBus::ReadHoldingRegisters);
    const ModbusPacketArchPresence copy(original);
    QCOMPARE(copy.functionCode(), TavrexBus::ReadArchPresence66);
    QCOMPARE(copy.archType(), TavrexBus::TimeArch);
    QCOMPARE(copy.requestLabelsCount(), quint16(4));
}

void tst_ModbusPacket::setLabelsCountTrimsOrPads_data()
{
    QTest::addColumn<int>("initial");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("trim 5 to 3") << 5 << 3 << QByteArray::fromHex("000000010000000200000003");
    QTest::newRow("pad 1 to 3") << 1 << 3 << QByteArray::fromHex("000000010000000000000000");
    QTest::newRow("unchanged") << 2 << 2 << QByteArray::fromHex("0000000100000002");
    QTest::newRow("to zero") << 2 << 0 << QByteArray();
}

void tst_ModbusPacket::setLabelsCountTrimsOrPads()
{
    QFETCH(int, initial);
    QFETCH(int, count);
    QFETCH(QByteArray, expected);

    ModbusPacketArchPresence packet;
    for (int i = 1; i <= initial; ++i)
        packet.appendLabel(uint(i));
    packet.setLabelsCount(ushort(count));
    QCOMPARE(packet.labelsCount(), count);
    QCOMPARE(QByteArray(packet.labels()), expected);
}

void tst_ModbusPacket::assignmentKeepsKind()
{
    ModbusPacketReg registers;
    ModbusPacketFile file;
    file.setFunctionCode(TavrexBus::FunctionCode(68));
    static_cast<ModbusPacket &>(registers) = file;
    QCOMPARE(registers.kind(), TavrexBus::RegistersPacket);
    QCOMPARE(int(registers.functionCode()), 68);
}

void tst_ModbusPacket::archRecordsSumTheirSizes()
{
    ModbusPacketArch packet(TavrexBus::TimeArch, TavrexBus::Backward);
    QCOMPARE(packet.requestRecordsCount(), quint16(1));
    QCOMPARE(packet.direction(), TavrexBus::Backward);
    packet.appendRecords(ModbusBytes(QByteArray(5, 'a')));
    packet.appendRecords(ModbusBytes(QByteArray(7, 'b')));
    QCOMPARE(packet.fieldsTotalSize(), 12);

    const QDateTime label(QDate(2024, 3, 5), QTime(10, 30));
    packet.setRequestLabel(label);
    QCOMPARE(packet.requestLabel(), TavrexBus::archLabelToSeconds(label));
    QCOMPARE(packet.requestTimeLabel(), label);
}

void tst_ModbusPacket::reportCarriesDeviceName()
{
    ModbusPacketReport packet;
    packet.setBytes(ModbusBytes(QByteArray::fromHex("41420007")));
    QCOMPARE(packet.devName(), QStringLiteral("AB"));
    packet.setDevName(QStringLiteral("XYZ"));
    QCOMPARE(QByteArray(packet.bytes()), QByteArray::fromHex("58595a00"));
    QCOMPARE(packet.devName(), QStringLiteral("XYZ"));
}

void tst_ModbusPacket::oneLineTextHasNoLineBreak_data()
{
    QTest::addColumn<Factory>("factory");

    QTest::newRow("registers") << Factory([] {
        auto *packet = new ModbusPacketReg;
        packet->appendRegValue(1);
        return packet;
    });
    QTest::newRow("archive") << Factory([] {
        auto *packet = new ModbusPacketArch;
        packet->appendRecords(ModbusBytes(QByteArray(3, 'x')));
        return packet;
    });
    QTest::newRow("presence") << Factory([] {
        auto *packet = new ModbusPacketArchPresence;
        packet->appendLabel(5);
        return packet;
    });
    QTest::newRow("report") << Factory([] { return new ModbusPacketReport; });
    QTest::newRow("file") << Factory([] { return new ModbusPacketFile; });
}

void tst_ModbusPacket::oneLineTextHasNoLineBreak()
{
    QFETCH(Factory, factory);
    std::unique_ptr<ModbusPacket> packet(factory());
    const QString multi = packet->toString(false);
    const QString single = packet->toString(true);
    QVERIFY(multi.startsWith(QLatin1String("function code: ")));
    QVERIFY(multi.contains(QLatin1Char('\n')));
    QVERIFY(!single.contains(QLatin1Char('\n')));
    QCOMPARE(single, QString(multi).replace(QLatin1Char('\n'), QLatin1String("; ")));
}

void tst_ModbusPacket::registerTextListsRegisters()
{
    ModbusPacketReg packet;
    packet.setFunctionCode(TavrexBus::ReadHoldingRegisters);
    packet.setRequestAddress(9);
    packet.appendRegValue(0x002A);
    const QString text = packet.toString(false);
    QVERIFY2(text.contains(QLatin1String("request address: 9 (400010) \n")), qPrintable(text));
    QVERIFY2(text.contains(QLatin1String("registers [1]:\n  register 0: 00 2a\n")),
             qPrintable(text));
}

void tst_ModbusPacket::parseInfoConstructorsAgree()
{
    const ModbusParseInfo info(TavrexBus::Response, TavrexBus::TimeArch);
    QCOMPARE(info.requestCount(), quint16(1));
    QVERIFY(info == ModbusParseInfo(TavrexBus::Response, 1, TavrexBus::TimeArch));
    QVERIFY(info != ModbusParseInfo(TavrexBus::Response, 2, TavrexBus::TimeArch));
    QVERIFY(ModbusParseInfo() == ModbusParseInfo(TavrexBus::Request));
    QCOMPARE(info.toString(true),
             QStringLiteral("state: response; archType: time archive; records count: 1; "));
}

QTEST_APPLESS_MAIN(tst_ModbusPacket)
#include "tst_modbuspacket.moc"
