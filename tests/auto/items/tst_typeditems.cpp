#include <TavrexBus1/modbusbit.h>
#include <TavrexBus1/modbuscustombytes.h>
#include <TavrexBus1/modbusdatetime.h>
#include <TavrexBus1/modbusdoublestruct.h>
#include <TavrexBus1/modbusfloat.h>
#include <TavrexBus1/modbusint16.h>
#include <TavrexBus1/modbusint32.h>
#include <TavrexBus1/modbusint64.h>
#include <TavrexBus1/modbusint8.h>
#include <TavrexBus1/modbusstringansi.h>
#include <TavrexBus1/modbusstringutf8.h>
#include <TavrexBus1/modbusuint16.h>
#include <TavrexBus1/modbusuint32.h>
#include <TavrexBus1/modbusuint64.h>
#include <TavrexBus1/modbusuint8.h>

#include <QtTest/QtTest>

#include <cmath>
#include <memory>

namespace {

std::unique_ptr<ModbusItemBase> makeItem(const QString &type)
{
    if (type == QLatin1String("Int8"))
        return std::make_unique<ModbusInt8>();
    if (type == QLatin1String("UInt8"))
        return std::make_unique<ModbusUInt8>();
    if (type == QLatin1String("Int16"))
        return std::make_unique<ModbusInt16>();
    if (type == QLatin1String("UInt16"))
        return std::make_unique<ModbusUInt16>();
    if (type == QLatin1String("Int32"))
        return std::make_unique<ModbusInt32>();
    if (type == QLatin1String("UInt32"))
        return std::make_unique<ModbusUInt32>();
    if (type == QLatin1String("Int64"))
        return std::make_unique<ModbusInt64>();
    if (type == QLatin1String("UInt64"))
        return std::make_unique<ModbusUInt64>();
    if (type == QLatin1String("Float"))
        return std::make_unique<ModbusFloat>();
    if (type == QLatin1String("Double"))
        return std::make_unique<ModbusDouble>();
    if (type == QLatin1String("DoubleStruct"))
        return std::make_unique<ModbusDoubleStruct>();
    if (type == QLatin1String("Bit"))
        return std::make_unique<ModbusBit>();
    if (type == QLatin1String("DateTime"))
        return std::make_unique<ModbusDateTime>();
    if (type == QLatin1String("CustomBytes"))
        return std::make_unique<ModbusCustomBytes>();
    if (type == QLatin1String("StringUtf8")) {
        auto item = std::make_unique<ModbusStringUtf8>();
        item->setLength(8);
        return item;
    }
    auto item = std::make_unique<ModbusStringAnsi>();
    item->setLength(4);
    return item;
}

ModbusBytes hex(const char *text)
{
    return ModbusBytes::fromHex(QByteArray(text));
}

void readBytes(ModbusItemBase &item, const ModbusBytes &bytes)
{
    item.setTopBytesArray(ModbusBytesArray{bytes}, ModbusItemBase::ReadChange);
}

} // namespace

class tst_TypedItems : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bytesToValue_data();
    void bytesToValue();
    void textToBytes_data();
    void textToBytes();
    void unparsableTextChangesNothing_data();
    void unparsableTextChangesNothing();
    void readEmitsValueSignalsOnceInOrder();
    void settingValueEmitsBytesThenValueSignals();
    void unchangedValueEmitsNothing_data();
    void unchangedValueEmitsNothing();
    void nanAlwaysCountsAsChange();
    void writeValueLeavesValueUntilRead();
    void binaryValue_data();
    void binaryValue();
    void dateTimeShowsUtcAndKeepsInvalidText();
    void stringAnsiFollowsLengthAndLayout();
    void stringUtf8AdjustsToFixedLength_data();
    void stringUtf8AdjustsToFixedLength();
    void customBytesKeepsTypedTextUntilRead();
    void bitTextsAndTypedValues();
    void int64ValueSurvivesQmlVariant();
    void arbitraryInputIsTakenSafely_data();
    void arbitraryInputIsTakenSafely();
};

void tst_TypedItems::bytesToValue_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<ModbusBytes>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("typed");

    QTest::newRow("int8 negative") << "Int8" << hex("ff") << "-1" << QVariant(-1);
    QTest::newRow("int8 minimum") << "Int8" << hex("80") << "-128" << QVariant(-128);
    QTest::newRow("uint8 register form") << "UInt8" << hex("00c8") << "200" << QVariant::fromValue<uchar>(200);
    QTest::newRow("uint8 single byte") << "UInt8" << hex("c8") << "200" << QVariant::fromValue<uchar>(200);
    QTest::newRow("int16 negative") << "Int16" << hex("fffe") << "-2" << QVariant::fromValue<short>(-2);
    QTest::newRow("int16 minimum") << "Int16" << hex("8000") << "-32768" << QVariant::fromValue<short>(-32768);
    QTest::newRow("uint16 maximum") << "UInt16" << hex("ffff") << "65535" << QVariant::fromValue<ushort>(65535);
    QTest::newRow("uint16 odd byte count") << "UInt16" << hex("05") << "0" << QVariant::fromValue<ushort>(0);
    QTest::newRow("int32 negative") << "Int32" << hex("fffffffe") << "-2" << QVariant(-2);
    QTest::newRow("int32 minimum") << "Int32" << hex("80000000") << "-2147483648" << QVariant(int(0x80000000));
    QTest::newRow("int32 three bytes") << "Int32" << hex("010203") << "0" << QVariant(0);
    QTest::newRow("uint32 maximum") << "UInt32" << hex("ffffffff") << "4294967295" << QVariant(4294967295u);
    QTest::newRow("int64 negative") << "Int64" << hex("ffffffffffffffff") << "-1" << QVariant(qlonglong(-1));
    QTest::newRow("int64 minimum") << "Int64" << hex("8000000000000000") << "-9223372036854775808"
                                   << QVariant(std::numeric_limits<qlonglong>::min());
    QTest::newRow("uint64 maximum") << "UInt64" << hex("ffffffffffffffff") << "18446744073709551615"
                                    << QVariant(std::numeric_limits<qulonglong>::max());
    QTest::newRow("float one") << "Float" << hex("3f800000") << "1.000" << QVariant(1.0f);
    QTest::newRow("float negative") << "Float" << hex("c0200000") << "-2.500" << QVariant(-2.5f);
    QTest::newRow("float infinity") << "Float" << hex("7f800000") << "inf"
                                    << QVariant(std::numeric_limits<float>::infinity());
    QTest::newRow("float minus infinity") << "Float" << hex("ff800000") << "-inf"
                                          << QVariant(-std::numeric_limits<float>::infinity());
    QTest::newRow("double one") << "Double" << hex("3ff0000000000000") << "1.000" << QVariant(1.0);
    QTest::newRow("double minus infinity") << "Double" << hex("fff0000000000000") << "-inf"
                                           << QVariant(-std::numeric_limits<double>::infinity());
    QTest::newRow("double structure negative") << "DoubleStruct" << hex("fffffffebf000000") << "-2.500"
                                               << QVariant(-2.5);
    QTest::newRow("double structure positive") << "DoubleStruct" << hex("0000000a3e800000") << "10.250"
                                               << QVariant(10.25);
    QTest::newRow("bit set") << "Bit" << hex("01") << "true" << QVariant(true);
    QTest::newRow("bit clear") << "Bit" << hex("00") << "false" << QVariant(false);
    QTest::newRow("ansi one char per register") << "StringAnsi" << hex("0041004200430044") << "ABCD"
                                                << QVariant(QStringLiteral("ABCD"));
    QTest::newRow("utf8 up to zero byte") << "StringUtf8" << hex("d09fd1800000") << QString::fromUtf8("Пр")
                                          << QVariant(QString::fromUtf8("Пр"));
    QTest::newRow("custom bytes lower-case hex") << "CustomBytes" << hex("0A0B") << "0a0b"
                                                 << QVariant(QStringLiteral("0a0b"));
}

void tst_TypedItems::bytesToValue()
{
    QFETCH(QString, type);
    QFETCH(ModbusBytes, bytes);
    QFETCH(QString, text);
    QFETCH(QVariant, typed);

    auto item = makeItem(type);
    readBytes(*item, bytes);
    QCOMPARE(item->formatValue(), text);
    QCOMPARE(item->getTypedValue(bytes), typed);
    QCOMPARE(item->variantValue(), typed);
}

void tst_TypedItems::textToBytes_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<ModbusBytes>("bytes");

    QTest::newRow("int8 keeps low 8 bits") << "Int8" << "200" << hex("c8");
    QTest::newRow("int8 negative") << "Int8" << "-2" << hex("fe");
    QTest::newRow("uint8 keeps low 8 bits") << "UInt8" << "300" << hex("002c");
    QTest::newRow("int16 negative") << "Int16" << "-2" << hex("fffe");
    QTest::newRow("uint16") << "UInt16" << "4660" << hex("1234");
    QTest::newRow("int32 negative") << "Int32" << "-2" << hex("fffffffe");
    QTest::newRow("uint32") << "UInt32" << "305419896" << hex("12345678");
    QTest::newRow("int64 negative") << "Int64" << "-2" << hex("fffffffffffffffe");
    QTest::newRow("uint64") << "UInt64" << "18446744073709551615" << hex("ffffffffffffffff");
    QTest::newRow("float") << "Float" << "1" << hex("3f800000");
    QTest::newRow("float infinity") << "Float" << "inf" << hex("7f800000");
    QTest::newRow("double") << "Double" << "-2.5" << hex("c004000000000000");
    QTest::newRow("double structure") << "DoubleStruct" << "-2.5" << hex("fffffffebf000000");
    QTest::newRow("bit") << "Bit" << "true" << hex("01");
    QTest::newRow("wall-clock date-time") << "DateTime" << "2024.03.05 10:20:30" << hex("65e6f1ee");
    QTest::newRow("ansi") << "StringAnsi" << "AB" << hex("00410042");
    QTest::newRow("utf8") << "StringUtf8" << QString::fromUtf8("Пр") << hex("d09fd180");
    QTest::newRow("custom bytes") << "CustomBytes" << "0A0b" << hex("0a0b");
}

void tst_TypedItems::textToBytes()
{
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(ModbusBytes, bytes);

    auto item = makeItem(type);
    item->setFormatValue(text);
    QCOMPARE(item->bytes().toHex(), bytes.toHex());
}

void tst_TypedItems::unparsableTextChangesNothing_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");

    QTest::newRow("int16 letters") << "Int16" << "xyz";
    QTest::newRow("int16 out of range") << "Int16" << "40000";
    QTest::newRow("uint32 negative") << "UInt32" << "-1";
    QTest::newRow("float letters") << "Float" << "one";
    QTest::newRow("double empty") << "Double" << "";
    QTest::newRow("bit neither text") << "Bit" << "TRUE";
    QTest::newRow("int64 too long") << "Int64" << "99999999999999999999";
}

void tst_TypedItems::unparsableTextChangesNothing()
{
    QFETCH(QString, type);
    QFETCH(QString, text);

    auto item = makeItem(type);
    const QString before = item->formatValue();
    const ModbusBytes bytesBefore = item->bytes();
    QSignalSpy changes(item.get(), &ModbusItemBase::bytesChanged);
    item->setFormatValue(text);
    QCOMPARE(item->formatValue(), before);
    QCOMPARE(item->bytes(), bytesBefore);
    QCOMPARE(changes.count(), 0);
}

void tst_TypedItems::readEmitsValueSignalsOnceInOrder()
{
    ModbusUInt16 item;
    QStringList order;
    connect(&item, &ModbusUInt16::valueChanged, this, [&] { order << "value"; });
    connect(&item, &ModbusItemBase::formatValueChanged, this, [&] { order << "formatValue"; });
    connect(&item, &ModbusItemBase::binaryValueChanged, this, [&] { order << "binaryValue"; });
    connect(&item, &ModbusItemBase::bytesChanged, this,
            [&](ModbusItemBase::BytesChangeType type) { order << QStringLiteral("bytes%1").arg(type); });

    readBytes(item, hex("0102"));
    QCOMPARE(order, (QStringList{"value", "formatValue", "binaryValue", "bytes4"}));
    QCOMPARE(item.value(), quint16(0x0102));
}

void tst_TypedItems::settingValueEmitsBytesThenValueSignals()
{
    ModbusInt32 item;
    QStringList order;
    connect(&item, &ModbusInt32::valueChanged, this, [&] { order << "value"; });
    connect(&item, &ModbusItemBase::formatValueChanged, this, [&] { order << "formatValue"; });
    connect(&item, &ModbusItemBase::binaryValueChanged, this, [&] { order << "binaryValue"; });
    connect(&item, &ModbusItemBase::bytesChanged, this,
            [&](ModbusItemBase::BytesChangeType type) { order << QStringLiteral("bytes%1").arg(type); });

    item.setValue(-7);
    QCOMPARE(order, (QStringList{"bytes1", "value", "formatValue"}));
    QCOMPARE(item.bytes(), hex("fffffff9"));
}

void tst_TypedItems::unchangedValueEmitsNothing_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<ModbusBytes>("bytes");

    QTest::newRow("uint16") << "UInt16" << "17" << hex("0011");
    QTest::newRow("double") << "Double" << "0.5" << hex("3fe0000000000000");
    QTest::newRow("ansi") << "StringAnsi" << "AB" << hex("00410042");
    QTest::newRow("bit") << "Bit" << "true" << hex("01");
}

void tst_TypedItems::unchangedValueEmitsNothing()
{
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(ModbusBytes, bytes);

    auto item = makeItem(type);
    item->setFormatValue(text);
    QSignalSpy formatChanges(item.get(), &ModbusItemBase::formatValueChanged);
    QSignalSpy byteChanges(item.get(), &ModbusItemBase::bytesChanged);
    item->setFormatValue(text);
    readBytes(*item, bytes);
    QCOMPARE(formatChanges.count(), 0);
    QCOMPARE(byteChanges.count(), 0);
}

void tst_TypedItems::nanAlwaysCountsAsChange()
{
    ModbusFloat item;
    QSignalSpy changes(&item, &ModbusFloat::valueChanged);
    item.setValue(std::numeric_limits<float>::quiet_NaN());
    item.setValue(std::numeric_limits<float>::quiet_NaN());
    QCOMPARE(changes.count(), 2);
    QVERIFY(std::isnan(item.value()));
    QCOMPARE(item.formatValue(), QStringLiteral("nan"));
    QCOMPARE(item.bytes(), hex("7fc00000"));
}

void tst_TypedItems::writeValueLeavesValueUntilRead()
{
    ModbusUInt16 item;
    item.setValue(3);
    QSignalSpy changes(&item, &ModbusUInt16::valueChanged);
    item.writeValue(5);
    QCOMPARE(item.value(), quint16(3));
    QCOMPARE(changes.count(), 0);
    QCOMPARE(item.errorString(), QStringLiteral("you should assign 'client' - property"));
}

void tst_TypedItems::binaryValue_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("baseLength");
    QTest::addColumn<QString>("binary");

    QTest::newRow("padded") << "UInt16" << "5" << 8 << "00000101";
    QTest::newRow("never cut") << "UInt16" << "5" << 2 << "101";
    QTest::newRow("natural length") << "UInt16" << "5" << -1 << "101";
    QTest::newRow("leading zeros dropped first") << "UInt32" << "4294967295" << 4 << "11111111111111111111111111111111";
    QTest::newRow("negative") << "Int16" << "-5" << -1 << "-101";
    QTest::newRow("string falls back to bytes") << "CustomBytes" << "0502" << -1 << "10110";
}

void tst_TypedItems::binaryValue()
{
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(int, baseLength);
    QFETCH(QString, binary);

    auto item = makeItem(type);
    item->setFormatValue(text);
    QCOMPARE(item->getBinaryValue(baseLength), binary);
    QSignalSpy binaryChanges(item.get(), &ModbusItemBase::binaryValueChanged);
    item->setBinaryBaseLength(baseLength);
    QCOMPARE(item->binaryValue(), binary);
    QCOMPARE(binaryChanges.count(), baseLength == -1 ? 0 : 1);
}

void tst_TypedItems::dateTimeShowsUtcAndKeepsInvalidText()
{
    ModbusDateTime item;
    item.setFormatValue(QStringLiteral("2024.03.05 10:20:30"));
    const QDateTime local(QDate(2024, 3, 5), QTime(10, 20, 30));
    QCOMPARE(item.value(), local);
    QCOMPARE(item.formatValue(), local.toUTC().toString(item.format()));

    QSignalSpy changes(&item, &ModbusDateTime::valueChanged);
    item.setFormatValue(QStringLiteral("not a date"));
    QCOMPARE(changes.count(), 1);
    QVERIFY(!item.value().isValid());
    QCOMPARE(item.formatValue(), QString());
    QCOMPARE(item.bytes(), hex("ffffffff"));

    readBytes(item, hex("65e6f1ee"));
    QCOMPARE(item.value(), local);
}

void tst_TypedItems::stringAnsiFollowsLengthAndLayout()
{
    ModbusStringAnsi item;
    QCOMPARE(item.requestItemBytesCount(), 2);
    item.setLength(5);
    QCOMPARE(item.requestItemBytesCount(), 10);
    item.setLength(0);
    QCOMPARE(item.length(), 5);

    item.setValue(QStringLiteral("AB"));
    item.setOneCharPerRegister(false);
    QCOMPARE(item.requestItemBytesCount(), 5);
    QCOMPARE(item.bytes(), hex("4142"));
    QCOMPARE(item.requestItemModbusBytesCount(), 6);
    item.setValue(QStringLiteral("ABC"));
    QCOMPARE(item.getModbusBytes().first(), hex("00414243"));
}

void tst_TypedItems::stringUtf8AdjustsToFixedLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("adjustLength");
    QTest::addColumn<ModbusBytes>("bytes");

    QTest::newRow("padded with blanks") << "ab" << 4 << hex("61622020");
    QTest::newRow("cut to length") << "abcdef" << 4 << hex("61626364");
    QTest::newRow("multi-byte character not cut") << QString::fromUtf8("Приве") << 5 << hex("d09fd18020");
    QTest::newRow("natural length") << QString::fromUtf8("ü") << -1 << hex("c3bc");
}

void tst_TypedItems::stringUtf8AdjustsToFixedLength()
{
    QFETCH(QString, text);
    QFETCH(int, adjustLength);
    QFETCH(ModbusBytes, bytes);

    ModbusStringUtf8 item;
    QSignalSpy lengthChanges(&item, &ModbusStringUtf8::lengthChanged);
    item.setLength(8);
    QCOMPARE(lengthChanges.count(), 1);
    item.setAdjustLength(adjustLength);
    item.setAdjustByte(32);
    item.setValue(text);
    QCOMPARE(item.bytes().toHex(), bytes.toHex());
    QCOMPARE(item.value(), text);
}

void tst_TypedItems::customBytesKeepsTypedTextUntilRead()
{
    ModbusCustomBytes item;
    QSignalSpy changes(&item, &ModbusCustomBytes::valueChanged);
    item.setValue(QStringLiteral("0A0b"));
    QCOMPARE(item.bytes(), hex("0a0b"));
    QCOMPARE(item.value(), QStringLiteral("0A0b"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.first().first().toString(), QStringLiteral("0A0b"));
    readBytes(item, hex("0a0b"));
    readBytes(item, ModbusBytes());
    readBytes(item, hex("0a0b"));
    QCOMPARE(item.value(), QStringLiteral("0a0b"));
}

void tst_TypedItems::bitTextsAndTypedValues()
{
    ModbusBit item;
    item.setTrueString(QStringLiteral("on"));
    item.setFalseString(QStringLiteral("off"));
    item.setFormatValue(QStringLiteral("on"));
    QVERIFY(item.value());
    QCOMPARE(item.formatValue(), QStringLiteral("on"));
    item.setFormatValue(QStringLiteral("true"));
    QVERIFY(item.value());
    item.setFormatValue(QStringLiteral("off"));
    QVERIFY(!item.value());
}

void tst_TypedItems::int64ValueSurvivesQmlVariant()
{
    ModbusInt64 item;
    const qlonglong big = std::numeric_limits<qlonglong>::min() + 1;
    QVERIFY(item.setProperty("value", QVariant(big)));
    QCOMPARE(item.value(), big);
    QCOMPARE(item.property("value").toLongLong(), big);
}

void tst_TypedItems::arbitraryInputIsTakenSafely_data()
{
    QTest::addColumn<QString>("type");
    for (const char *type : {"Int8", "UInt8", "Int16", "UInt16", "Int32", "UInt32", "Int64", "UInt64", "Float",
                             "Double", "DoubleStruct", "Bit", "DateTime", "StringAnsi", "StringUtf8", "CustomBytes"})
        QTest::newRow(type) << QString::fromLatin1(type);
}

// Random byte images of every size and random texts: every decode and parse must cope, and an
// integer or string value shown as text must parse back to itself.
void tst_TypedItems::arbitraryInputIsTakenSafely()
{
    QFETCH(QString, type);

    static const QStringList roundTrips{"Int8", "UInt8", "Int16", "UInt16", "Int32", "UInt32",
                                        "Int64", "UInt64", "StringAnsi", "CustomBytes"};
    QRandomGenerator random(2024);
    auto item = makeItem(type);
    for (int i = 0; i < 2000; ++i) {
        QByteArray raw(random.bounded(12), Qt::Uninitialized);
        for (char &byte : raw)
            byte = char(random.bounded(256));
        if (type == QLatin1String("StringAnsi"))
            raw.replace('\0', '\1');
        const ModbusBytes bytes(raw);
        readBytes(*item, bytes);
        const QString text = item->formatValue();
        item->getBinaryValue(16);
        item->getTypedValue(bytes);
        if (roundTrips.contains(type)) {
            auto parsed = makeItem(type);
            parsed->setFormatValue(text);
            QCOMPARE(parsed->formatValue(), text);
        }
        QString noise;
        for (int c = random.bounded(10); c > 0; --c)
            noise += QChar(char16_t(random.bounded(0x20, 0x500)));
        item->setFormatValue(noise);
    }
}

QTEST_GUILESS_MAIN(tst_TypedItems)
#include "tst_typeditems.moc"
