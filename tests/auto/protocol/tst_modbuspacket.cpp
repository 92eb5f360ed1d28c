#include "packettesting.h"

#include <TavrexBus1/modbuspacketarch.h>
#include <TavrexBus1/modbuspacketarchpresence.h>
#include <TavrexBus1/modbuspacketfile.h>
#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbuspacketreport.h>
#include <TavrexBus1/modbusparseinfo.h>

#include <QtTest/QtTest>

#include <memory>

using PacketTesting::PacketFactory;

class tst_ModbusPacket : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newPacketHasKindAndDefaults_data()
    {
        QTest::addColumn<PacketFactory>("factory");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("functionCode");

        // Each packet also carries some content: the one-line text must stay one line.
        QTest::newRow("registers") << PacketFactory([] {
            auto *packet = new ModbusPacketReg;
            packet->appendRegValue(1);
            return packet;
        }) << int(TavrexBus::RegistersPacket) << 0;
        QTest::newRow("archive") << PacketFactory([] {
            auto *packet = new ModbusPacketArch;
            packet->appendRecords(ModbusBytes(QByteArray(3, 'x')));
            return packet;
        }) << int(TavrexBus::ArchivePacket) << 0;
        QTest::newRow("report") << PacketFactory([] { return new ModbusPacketReport; })
                                << int(TavrexBus::ReportSlavePacket) << 17;
        QTest::newRow("presence") << PacketFactory([] {
            auto *packet = new ModbusPacketArchPresence;
            packet->appendLabel(5);
            return packet;
        }) << int(TavrexBus::ArchPresencePacket) << 66;
        QTest::newRow("file") << PacketFactory([] { return new ModbusPacketFile; }) << int(TavrexBus::FilePacket) << 0;
    }

    void newPacketHasKindAndDefaults()
    {
        QFETCH(PacketFactory, factory);
        QFETCH(int, kind);
        QFETCH(int, functionCode);

        std::unique_ptr<ModbusPacket> packet(factory());
        QCOMPARE(int(packet->kind()), kind);
        QCOMPARE(int(packet->functionCode()), functionCode);
        QCOMPARE(packet->address(), uchar(1));
        QCOMPARE(packet->state(), TavrexBus::Request);
        QVERIFY(!packet->hasException());

        const QString multi = packet->toString(false);
        const QString single = packet->toString(true);
        QVERIFY(multi.startsWith(QLatin1String("function code: ")));
        QVERIFY(multi.contains(QLatin1Char('\n')));
        QCOMPARE(single, QString(multi).replace(QLatin1Char('\n'), QLatin1String("; ")));
    }

    void registerPacketsDifferingInOneFieldAreNotEqual()
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

    void presenceKeepsFunction66AcrossCopies()
    {
        ModbusPacketArchPresence original(TavrexBus::TimeArch, 4);
        original.setFunctionCode(TavrexBus::ReadHoldingRegisters);
        const ModbusPacketArchPresence copy(original);
        QCOMPARE(copy.functionCode(), TavrexBus::ReadArchPresence66);
        QCOMPARE(copy.archType(), TavrexBus::TimeArch);
        QCOMPARE(copy.requestLabelsCount(), quint16(4));
    }

    void setLabelsCountTrimsOrPads_data()
    {
        QTest::addColumn<int>("initial");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("trim 5 to 3") << 5 << 3 << QByteArray::fromHex("000000010000000200000003");
        QTest::newRow("pad 1 to 3") << 1 << 3 << QByteArray::fromHex("000000010000000000000000");
        QTest::newRow("unchanged") << 2 << 2 << QByteArray::fromHex("0000000100000002");
        QTest::newRow("to zero") << 2 << 0 << QByteArray();
    }

    void setLabelsCountTrimsOrPads()
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

    void assignmentKeepsKind()
    {
        ModbusPacketReg registers;
        ModbusPacketFile file;
        file.setFunctionCode(TavrexBus::FunctionCode(68));
        static_cast<ModbusPacket &>(registers) = file;
        QCOMPARE(registers.kind(), TavrexBus::RegistersPacket);
        QCOMPARE(int(registers.functionCode()), 68);
    }

    void archRecordsSumTheirSizes()
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

    void reportCarriesDeviceName()
    {
        ModbusPacketReport packet;
        packet.setBytes(ModbusBytes(QByteArray::fromHex("41420007")));
        QCOMPARE(packet.devName(), QStringLiteral("AB"));
        packet.setDevName(QStringLiteral("XYZ"));
        QCOMPARE(QByteArray(packet.bytes()), QByteArray::fromHex("58595a00"));
        QCOMPARE(packet.devName(), QStringLiteral("XYZ"));
    }

    void registerTextListsRegisters()
    {
        ModbusPacketReg packet;
        packet.setFunctionCode(TavrexBus::ReadHoldingRegisters);
        packet.setRequestAddress(9);
        packet.appendRegValue(0x002A);
        const QString text = packet.toString(false);
        QVERIFY2(text.contains(QLatin1String("request address: 9 (400010) \n")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("registers [1]:\n  register 0: 00 2a\n")), qPrintable(text));
    }

    void parseInfoConstructorsAgree()
    {
        const ModbusParseInfo info(TavrexBus::Response, TavrexBus::TimeArch);
        QCOMPARE(info.requestCount(), quint16(1));
        QVERIFY(info == ModbusParseInfo(TavrexBus::Response, 1, TavrexBus::TimeArch));
        QVERIFY(info != ModbusParseInfo(TavrexBus::Response, 2, TavrexBus::TimeArch));
        QVERIFY(ModbusParseInfo() == ModbusParseInfo(TavrexBus::Request));
        QCOMPARE(info.toString(true), QStringLiteral("state: response; archType: time archive; records count: 1; "));
    }
};

QTEST_APPLESS_MAIN(tst_ModbusPacket)
#include "tst_modbuspacket.moc"
