#include "simulateddevice.h"

#include <TavrexBus1/ekdigitalflowratehistoryitem.h>
#include <TavrexBus1/ekdigitalpressurehistoryitem.h>
#include <TavrexBus1/modbusarchrecordekdigital.h>
#include <TavrexBus1/modbusclient.h>

#include <QtTest/qsignalspy.h>
#include <QtTest/qtest.h>

namespace {

enum Codec { Time, U16, U32, Float, DStruct };

// The value each codec is tested with, as the device writes it and as the record gives it back.
QPair<ModbusBytes, QVariant> sample(Codec codec)
{
    const QPair<const char *, QVariant> samples[] = {
        {"65e6ed20", QDateTime(QDate(2024, 3, 5), QTime(10, 0))}, {"a1b2", 0xa1b2u}, {"a1b2c3d4", 0xa1b2c3d4u},
        {"3fc00000", 1.5f}, {"000004d23f000000", 1234.5} /* 1234 + 0.5 */};
    return {QByteArray::fromHex(samples[codec].first), samples[codec].second};
}

struct Field
{
    int offset;
    Codec codec;
    int role;
    const char *property;
};

// The layouts as the device documentation gives them.
const QList<Field> generation1 = {
    {0, Time, 33, "recordLabel"}, {4, DStruct, 40, "vPlus"}, {12, DStruct, 41, "vMinus"},
    {20, U16, 35, "flowRateEsFlags"}, {22, Float, 51, "dMinVolumeFlowRate"}, {26, Float, 52, "dMaxVolumeFlowRate"},
    {30, U32, 37, "workTime"}, {34, U32, 38, "flowRateSensorLessTime"}, {38, DStruct, 47, "dVPlus"},
    {46, DStruct, 48, "dVMinus"}, {54, U16, 44, "dWorkTime"}, {56, U16, 45, "dFlowRateSensorLessTime"},
};
const QList<Field> generation2 = {
    {0, Time, 33, "recordLabel"}, {4, U16, 34, "serviceFlags"}, {6, U16, 35, "flowRateEsFlags"},
    {8, U16, 36, "heatEsFlags"}, {10, U32, 37, "workTime"}, {14, U32, 38, "flowRateSensorLessTime"},
    {18, U32, 39, "heatSensorLessTime"}, {22, DStruct, 40, "vPlus"}, {30, DStruct, 41, "vMinus"},
    {38, DStruct, 42, "mPlus"}, {46, DStruct, 43, "w"}, {54, U16, 44, "dWorkTime"},
    {56, U16, 45, "dFlowRateSensorLessTime"}, {58, U16, 46, "dHeatSensorLessTime"}, {60, Float, 47, "dVPlus"},
    {64, Float, 48, "dVMinus"}, {68, Float, 49, "dMPlus"}, {72, Float, 50, "dW"},
    {76, Float, 51, "dMinVolumeFlowRate"}, {80, Float, 52, "dMaxVolumeFlowRate"},
    {84, Float, 53, "dMinWeightFlowRate"}, {88, Float, 54, "dMaxWeightFlowRate"},
};
const QList<Field> generation3 = generation2 + QList<Field>{
    {92, Float, 55, "minTemperature1"}, {96, Float, 56, "maxTemperature1"}, {100, Float, 57, "averageTemperature1"},
    {104, Float, 58, "minTemperature2"}, {108, Float, 59, "maxTemperature2"}, {112, Float, 60, "averageTemperature2"},
    {116, Float, 61, "minPressure"}, {120, Float, 62, "maxPressure"}, {124, Float, 63, "averagePressure"},
};

QList<int> rolesOf(const ModbusItemBase &item)
{
    QList<int> roles;
    for (const RoleItem &row : item.roles())
        roles.append(row.role);
    return roles;
}

QList<int> range(int first, int last)
{
    QList<int> roles;
    for (int role = first; role <= last; ++role)
        roles.append(role);
    return roles;
}

} // namespace

Q_DECLARE_METATYPE(Field)

class tst_ArchRecords : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every field on its own, written at its offset into a record of zeros.
    void recordFieldsDecodeAtTheirOffsets_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<Field>("field");
        const QList<QList<Field>> layouts{generation1, generation2, generation3};
        for (int generation = 1; generation <= 3; ++generation) {
            for (const Field &field : layouts.at(generation - 1))
                QTest::addRow("generation %d %s", generation, field.property) << generation << field;
        }
    }

    void recordFieldsDecodeAtTheirOffsets()
    {
        QFETCH(int, generation);
        QFETCH(Field, field);
        const auto [offset, codec, role, property] = field;
        static const int sizes[] = {58, 92, 128};
        ModbusBytes record = ModbusBytes::fromSize(sizes[generation - 1]);
        const auto [bytes, expected] = sample(codec);
        record.setBytes(bytes, offset);
        ModbusArchRecordEkDigital item;
        item.setEkdGeneration(generation);
        item.setBytesArray({record}, ModbusItemBase::InternalChange);
        QCOMPARE(item.data(record, role), expected);
        QVariant read = item.property(property);
        if (read.metaType() != expected.metaType())
            QVERIFY(read.convert(expected.metaType()));
        QCOMPARE(read, expected);
        QVERIFY(item.exists());
    }

    // The record's own rows come first; heat columns need generation 2 and a heat channel.
    void roleTableFollowsGenerationAndHeat_data()
    {
        QTest::addColumn<int>("generation");
        QTest::addColumn<bool>("heat");
        QTest::addColumn<QList<int>>("roles");
        const QList<int> base{ModbusItemBase::LabelRole, 0, ModbusArchRecord::ExistsRole};
        const QList<int> plain = base + QList<int>{33, 35, 37, 38, 40, 41, 51, 52};
        QTest::newRow("generation 1") << 1 << true << plain;
        QTest::newRow("generation 2 without heat") << 2 << false << plain;
        QTest::newRow("generation 2 with heat") << 2 << true << base + range(33, 54);
        QTest::newRow("generation 3 with heat") << 3 << true << base + range(33, 63);
    }

    void roleTableFollowsGenerationAndHeat()
    {
        QFETCH(int, generation);
        QFETCH(bool, heat);
        QFETCH(QList<int>, roles);
        ModbusArchRecordEkDigital item;
        // Every way round and back again: the rows are rebuilt, never appended twice.
        item.setEkdGeneration(3);
        item.setContainsHeat(!heat);
        item.setContainsHeat(heat);
        item.setEkdGeneration(generation);
        QCOMPARE(rolesOf(item), roles);
        if (roles.contains(46)) {
            QCOMPARE(item.getModelHeader("dHeatSensorLessTimeRole"),
                     QStringLiteral("Time without heat measuring for the interval, s"));
        }
        QCOMPARE(item.getModelHeader("vPlus"), QStringLiteral("V+, m\u00b3"));
        QCOMPARE(item.getModelHeader("dMaxVolumeFlowRate"), QStringLiteral("Max volume flow rate, m\u00b3/h"));
    }

    // The service word's heat bit brings the heat columns of a generation 2 record with it.
    void flagWordsSetTheirFlagsAndTexts_data()
    {
        QTest::addColumn<int>("serviceFlags");
        QTest::addColumn<int>("flowFlags");
        QTest::addColumn<int>("heatFlags");
        QTest::addColumn<QList<bool>>("statusFlags");
        QTest::addColumn<QString>("flowText");
        QTest::addColumn<QString>("heatText");
        QTest::newRow("0x21 and 5") << 0 << 0x21 << 5 << QList<bool>{true, false, false, false, false, true}
                                    << "100001" << "000000101";
        QTest::newRow("every flag") << 1 << 0x3f << 0x1ff << QList<bool>(6, true) << "111111" << "111111111";
        QTest::newRow("longer than the width") << 0 << 0xff << 0x3ff << QList<bool>(6, true) << "11111111"
                                               << "1111111111";
    }

    void flagWordsSetTheirFlagsAndTexts()
    {
        QFETCH(int, serviceFlags);
        QFETCH(int, flowFlags);
        QFETCH(int, heatFlags);
        QFETCH(QList<bool>, statusFlags);
        QFETCH(QString, flowText);
        QFETCH(QString, heatText);
        ModbusBytes record = ModbusBytes::fromSize(92);
        record.setBytes(ModbusBytes::fromUInt16(quint16(serviceFlags)), 4);
        record.setBytes(ModbusBytes::fromUInt16(quint16(flowFlags)), 6);
        record.setBytes(ModbusBytes::fromUInt16(quint16(heatFlags)), 8);
        ModbusArchRecordEkDigital item;
        item.setEkdGeneration(2);
        QSignalSpy heat(&item, &ModbusArchRecordEkDigital::containsHeatChanged);
        item.setBytesArray({record}, ModbusItemBase::InternalChange);
        QCOMPARE(heat.count(), serviceFlags);
        QCOMPARE(rolesOf(item).contains(54), bool(serviceFlags));
        const QList<bool> read{item.quicklyNoSensor(), item.noSensor(), item.userDataError(),
                               item.maxQOverflow(), item.highSetOverflow(), item.lowSetOverflow()};
        QCOMPARE(read, statusFlags);
        QCOMPARE(item.flowRateEsFlagsBinary(), flowText);
        QCOMPARE(item.heatEsFlagsBinary(), heatText);
    }

    // A flow history block: a pending word, a count, then samples of 24 bytes.
    void historyBlocksBecomeStampedSamples_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("maxHistorySize");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<int>("kept");
        QTest::newRow("two samples") << 2 << 300 << false << 2;
        QTest::newRow("more pending: one more read") << 2 << 300 << true << 4;
        QTest::newRow("oldest dropped") << 5 << 3 << false << 3;
        QTest::newRow("count past the block") << 40 << 300 << false << 10;
    }

    void historyBlocksBecomeStampedSamples()
    {
        QFETCH(int, count);
        QFETCH(int, maxHistorySize);
        QFETCH(bool, pending);
        QFETCH(int, kept);
        SimulatedDevice device;
        ModbusBytes block = ModbusBytes::fromUInt16(pending ? 1 : 0) + ModbusBytes::fromUInt16(quint16(count));
        for (int i = 0; i < 10; ++i) {
            block += ModbusBytes::fromFloat(1.5f) + ModbusBytes::fromFloat(float(i + 1));
            block += ModbusBytes::fromDoubleStruct(100.25 + i) + ModbusBytes::fromDoubleStruct(0.25);
        }
        for (int i = 0; i < block.size(); i += 2)
            device.setRegister(300533 + quint32(i / 2), block.toUInt16(i));
        // The device has no more after the first answer.
        int answers = 0;
        connect(&device.modbuser(), &Modbuser::onReadRegisters, this,
                [&answers](quint32, quint16, ModbusBytes &out, ModbusTranslateOptions &, bool &) {
                    if (answers++ > 0)
                        out.setBytes(ModbusBytes::fromUInt16(0), 0);
                });
        if (count > 10)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("states 40 samples, holds 10"));
        ModbusLoopbackClient link(*device.server());
        QVERIFY(link.connectTransport());
        ModbusClient client;
        client.setTransport(&link);
        EkDigitalFlowRateHistoryItem item;
        item.setMaxHistorySize(maxHistorySize);
        const QDateTime now(QDate(2024, 3, 5), QTime(10, 0));
        item.setCurrentTime(now);
        item.setClient(&client);
        QSignalSpy reads(&item, &ModbusItemBase::afterRead);
        QVERIFY(item.read());
        QTRY_COMPARE(reads.count(), pending ? 2 : 1);
        QCOMPARE(device.requestCount(), pending ? 2 : 1);
        QCOMPARE(item.arraySize(), kept);
        QCOMPARE(item.arrayBytes(0).size(), 36);
        const int last = kept - 1;
        QCOMPARE(item.getModelValue(last, "time").toDateTime(), now);
        QCOMPARE(item.getModelValue(0, "time").toDateTime(), now.addSecs(-last));
        const int newest = qMin(count, 10);
        QCOMPARE(item.getModelValue(last, "flowRate").toDouble(), double(newest));
        QCOMPARE(item.getModelValue(last, "vSummary").toDouble(), 100.0 + newest - 1);
        item.setFlowRateRatio(2.0);
        QCOMPARE(item.getModelValue(last, "flowRate").toDouble(), 2.0 * newest);
        QTest::ignoreMessage(QtWarningMsg, "cannot change itemSize of this item");
        item.setItemSize(12);
        QCOMPARE(item.itemSize(), 244);
    }
};

QTEST_GUILESS_MAIN(tst_ArchRecords)
#include "tst_archrecords.moc"
