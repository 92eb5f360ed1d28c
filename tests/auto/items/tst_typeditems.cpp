#include "packettesting.h"
#include "recordingclient.h"
#include "signaltexts.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtTest/QtTest>

#include <cmath>
#include <memory>

using PacketTesting::hex;

namespace {

template <typename Item>
std::unique_ptr<ModbusItemBase> make()
{
    return std::make_unique<Item>();
}

const QMap<QString, std::unique_ptr<ModbusItemBase> (*)()> factories{
    {"Int8", make<ModbusInt8>},         {"UInt8", make<ModbusUInt8>},           {"Int16", make<ModbusInt16>},
    {"UInt16", make<ModbusUInt16>},     {"Int32", make<ModbusInt32>},           {"UInt32", make<ModbusUInt32>},
    {"Int64", make<ModbusInt64>},       {"UInt64", make<ModbusUInt64>},         {"Float", make<ModbusFloat>},
    {"Double", make<ModbusDouble>},     {"DoubleStruct", make<ModbusDoubleStruct>}, {"Bit", make<ModbusBit>},
    {"DateTime", make<ModbusDateTime>}, {"CustomBytes", make<ModbusCustomBytes>},
    {"StringUtf8", make<ModbusStringUtf8>}, {"StringAnsi", make<ModbusStringAnsi>}};

std::unique_ptr<ModbusItemBase> makeItem(const QString &type)
{
    auto item = factories.value(type)();
    if (type.startsWith(QLatin1String("String")))
        item->setProperty("length", type == QLatin1String("StringUtf8") ? 8 : 4);
    return item;
}

void readBytes(ModbusItemBase &item, const ModbusBytes &bytes)
{
    item.setTopBytesArray(ModbusBytesArray{bytes}, ModbusItemBase::ReadChange);
}

// The order in which an item announces a change.
template <typename Item>
QStringList changeOrder(Item &item, const std::function<void()> &change)
{
    QStringList order;
    QObject::connect(&item, &Item::valueChanged, [&] { order << "value"; });
    QObject::connect(&item, &ModbusItemBase::formatValueChanged, [&] { order << "formatValue"; });
    QObject::connect(&item, &ModbusItemBase::binaryValueChanged, [&] { order << "binaryValue"; });
    QObject::connect(&item, &ModbusItemBase::bytesChanged,
                     [&](ModbusItemBase::BytesChangeType type) { order << QStringLiteral("bytes%1").arg(type); });
    change();
    QObject::disconnect(&item, nullptr, nullptr, nullptr);
    return order;
}

constexpr int Decode = 1;
constexpr int Encode = 2;
constexpr int Both = Decode | Encode;

template <typename T>
QVariant typed(T value)
{
    return QVariant::fromValue<T>(value);
}

} // namespace

class tst_TypedItems : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Decode rows read bytes and check text and typed value; encode rows set the text and check
    // the bytes (null bytes: the text is refused and nothing changes); both rows do each, and a
    // repeat of the same text or bytes changes nothing.
    void conversions_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("direction");
        QTest::addColumn<ModbusBytes>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("typed");

        const QVariant none;
        QTest::newRow("int8 negative") << "Int8" << Decode << hex("ff") << "-1" << QVariant(-1);
        QTest::newRow("int8 keeps low 8 bits") << "Int8" << Encode << hex("c8") << "200" << none;
        QTest::newRow("uint8 register form") << "UInt8" << Decode << hex("00c8") << "200" << typed<uchar>(200);
        QTest::newRow("uint8 single byte") << "UInt8" << Decode << hex("c8") << "200" << typed<uchar>(200);
        QTest::newRow("uint8 keeps low 8 bits") << "UInt8" << Encode << hex("002c") << "300" << none;
        QTest::newRow("int16 negative") << "Int16" << Both << hex("fffe") << "-2" << typed<short>(-2);
        QTest::newRow("int16 out of range") << "Int16" << Encode << ModbusBytes() << "40000" << none;
        QTest::newRow("uint16") << "UInt16" << Both << hex("1234") << "4660" << typed<ushort>(4660);
        QTest::newRow("int32 negative") << "Int32" << Both << hex("fffffffe") << "-2" << QVariant(-2);
        QTest::newRow("uint32 maximum") << "UInt32" << Decode << hex("ffffffff") << "4294967295" << typed(4294967295u);
        QTest::newRow("uint32 negative") << "UInt32" << Encode << ModbusBytes() << "-1" << none;
        QTest::newRow("int64 negative") << "Int64" << Both << hex("fffffffffffffffe") << "-2" << typed<qlonglong>(-2);
        QTest::newRow("int64 too long") << "Int64" << Encode << ModbusBytes() << "99999999999999999999" << none;
        QTest::newRow("uint64 maximum") << "UInt64" << Both << hex("ffffffffffffffff") << "18446744073709551615"
                                        << QVariant(std::numeric_limits<qulonglong>::max());
        QTest::newRow("float negative") << "Float" << Both << hex("c0200000") << "-2.500" << QVariant(-2.5f);
        QTest::newRow("float infinity") << "Float" << Both << hex("7f800000") << "inf"
                                        << QVariant(std::numeric_limits<float>::infinity());
        QTest::newRow("double half") << "Double" << Both << hex("3fe0000000000000") << "0.500" << QVariant(0.5);
        QTest::newRow("double empty") << "Double" << Encode << ModbusBytes() << "" << none;
        QTest::newRow("double structure negative") << "DoubleStruct" << Both << hex("fffffffebf000000") << "-2.500"
                                                   << QVariant(-2.5);
        QTest::newRow("bit set") << "Bit" << Both << hex("01") << "true" << QVariant(true);
        QTest::newRow("bit neither text") << "Bit" << Encode << ModbusBytes() << "TRUE" << none;
        QTest::newRow("utf8 up to zero byte") << "StringUtf8" << Decode << hex("d09fd1800000")
                                              << QString::fromUtf8("Пр") << QVariant(QString::fromUtf8("Пр"));
    }

    void conversions()
    {
        QFETCH(QString, type);
        QFETCH(int, direction);
        QFETCH(ModbusBytes, bytes);
        QFETCH(QString, text);
        QFETCH(QVariant, typed);

        auto item = makeItem(type);
        if (direction & Decode) {
            readBytes(*item, bytes);
            QCOMPARE(item->formatValue(), text);
            QCOMPARE(item->getTypedValue(bytes), typed);
            QCOMPARE(item->getTypedValue(bytes).typeName(), typed.typeName());
            QCOMPARE(item->variantValue(), typed);
            item = makeItem(type);
        }
        if (!(direction & Encode))
            return;
        const QString textBefore = item->formatValue();
        const ModbusBytes bytesBefore = item->bytes();
        QSignalSpy byteChanges(item.get(), &ModbusItemBase::bytesChanged);
        item->setFormatValue(text);
        if (bytes.isNull()) {
            QCOMPARE(item->formatValue(), textBefore);
            QCOMPARE(item->bytes(), bytesBefore);
            QCOMPARE(byteChanges.count(), 0);
            return;
        }
        QCOMPARE(item->bytes().toHex(), bytes.toHex());
        if (direction != Both)
            return;
        QSignalSpy formatChanges(item.get(), &ModbusItemBase::formatValueChanged);
        byteChanges.clear();
        item->setFormatValue(text);
        readBytes(*item, bytes);
        QCOMPARE(formatChanges.count(), 0);
        QCOMPARE(byteChanges.count(), 0);
    }

    void changeSignalsComeOnceInOrder()
    {
        ModbusUInt16 read;
        QCOMPARE(changeOrder(read, [&] { readBytes(read, hex("0102")); }),
                 (QStringList{"value", "formatValue", "binaryValue", "bytes4"}));
        ModbusInt32 set;
        QCOMPARE(changeOrder(set, [&] { set.setValue(-7); }), (QStringList{"bytes1", "value", "formatValue"}));
    }

    void writeValueQueuesTheTypesWireForm_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<ModbusBytes>("wire");
        QTest::newRow("int8") << "Int8" << QVariant(-2) << hex("00fe");
        QTest::newRow("uint8") << "UInt8" << QVariant(200) << hex("00c8");
        QTest::newRow("int16") << "Int16" << QVariant(-2) << hex("fffe");
        QTest::newRow("uint16") << "UInt16" << QVariant(0x1234) << hex("1234");
        QTest::newRow("int32") << "Int32" << QVariant(-2) << hex("fffffffe");
        QTest::newRow("uint32") << "UInt32" << QVariant(0x89abcdefu) << hex("89abcdef");
        QTest::newRow("int64") << "Int64" << QVariant(qlonglong(-2)) << hex("fffffffffffffffe");
        QTest::newRow("uint64") << "UInt64" << QVariant(0x0123456789abcdefull) << hex("0123456789abcdef");
        QTest::newRow("float") << "Float" << QVariant(-2.5f) << hex("c0200000");
        QTest::newRow("double") << "Double" << QVariant(0.5) << hex("3fe0000000000000");
        QTest::newRow("double structure") << "DoubleStruct" << QVariant(-2.5) << hex("fffffffebf000000");
    }

    // The written value reaches the device in the item's own form; `value` waits for the read.
    void writeValueQueuesTheTypesWireForm()
    {
        QFETCH(QString, type);
        QFETCH(QVariant, value);
        QFETCH(ModbusBytes, wire);
        RecordingClient client;
        client.setConnected(true);
        auto item = makeItem(type);
        item->setClient(&client);
        const QMetaObject *meta = item->metaObject();
        const QByteArray signature = QByteArray("writeValue(") + value.typeName() + ')';
        const QMetaMethod writeValue = meta->method(meta->indexOfMethod(QMetaObject::normalizedSignature(signature)));
        const ModbusBytes bytesBefore = item->bytes();
        bool queued = false;
        QVERIFY(writeValue.invoke(item.get(), Q_RETURN_ARG(bool, queued),
                                  QGenericArgument(value.typeName(), value.constData())));
        QVERIFY(queued);
        QCOMPARE(client.queued.size(), 1);
        QCOMPARE(client.queued.first()->firstBytes(), ModbusBytesArray{wire});
        QCOMPARE(item->bytes(), bytesBefore);
    }

    void nanAlwaysCountsAsChange()
    {
        ModbusFloat item;
        QSignalSpy changes(&item, &ModbusFloat::valueChanged);
        item.setValue(std::numeric_limits<float>::quiet_NaN());
        item.setValue(std::numeric_limits<float>::quiet_NaN());
        QCOMPARE(changes.count(), 2);
        QVERIFY(std::isnan(item.value()));
        QCOMPARE(item.bytes(), hex("7fc00000"));
    }

    void binaryValue_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("baseLength");
        QTest::addColumn<QString>("binary");
        QTest::newRow("never cut") << "UInt16" << "5" << 2 << "101";
        QTest::newRow("negative") << "Int16" << "-5" << -1 << "-101";
        QTest::newRow("string falls back to bytes") << "CustomBytes" << "0502" << -1 << "10110";
    }

    void binaryValue()
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

    void dateTimeShowsUtcAndKeepsInvalidText()
    {
        ModbusDateTime item;
        item.setFormatValue(QStringLiteral("2024.03.05 10:20:30"));
        const QDateTime local(QDate(2024, 3, 5), QTime(10, 20, 30));
        QCOMPARE(item.value(), local);
        QCOMPARE(item.bytes(), hex("65e6f1ee"));
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

    // Text goes out left-aligned and fills its field, an odd one padded at its end; padding is not read back.
    void stringsWriteLeftAlignedText_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("oneCharPerRegister");
        QTest::addColumn<ModbusBytes>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<ModbusBytes>("wire");
        QTest::addColumn<QString>("readBack");
        const ModbusBytes none;
        QTest::newRow("ansi shorter over longer") << "StringAnsi" << 8 << false << hex("4142434445464748") << "X"
                                                  << hex("5800000000000000") << "X";
        QTest::newRow("ansi odd field") << "StringAnsi" << 5 << false << none << "abc" << hex("616263000000") << "abc";
        QTest::newRow("ansi char per register") << "StringAnsi" << 3 << true << hex("004100420043") << "z"
                                                << hex("007a00000000") << "z";
        QTest::newRow("ansi cut to length") << "StringAnsi" << 2 << false << none << "abcd" << hex("6162") << "ab";
        QTest::newRow("utf8 odd field") << "StringUtf8" << 3 << false << none << "ab" << hex("61620000") << "ab";
        QTest::newRow("utf8 shorter over longer") << "StringUtf8" << 4 << false << hex("61626364") << "X"
                                                  << hex("58000000") << "X";
        QTest::newRow("utf8 cut before a character") << "StringUtf8" << 3 << false << none
                                                     << QString::fromUtf8("Пр") << hex("d09f0000")
                                                     << QString::fromUtf8("П");
    }

    void stringsWriteLeftAlignedText()
    {
        QFETCH(QString, type);
        QFETCH(int, length);
        QFETCH(bool, oneCharPerRegister);
        QFETCH(ModbusBytes, before);
        QFETCH(QString, text);
        QFETCH(ModbusBytes, wire);
        QFETCH(QString, readBack);
        const auto make = [&] {
            auto item = factories.value(type)();
            item->setProperty("length", length);
            item->setProperty("oneCharPerRegister", oneCharPerRegister);
            return item;
        };
        auto writer = make();
        if (!before.isEmpty())
            readBytes(*writer, before);
        writer->setFormatValue(text);
        QCOMPARE(writer->getModbusBytes().first().toHex(), wire.toHex());
        auto reader = make();
        readBytes(*reader, wire);
        QCOMPARE(reader->formatValue(), readBack);
    }

    // Bytes read keep their image: only the text follows them, and nothing is written back.
    void stringReadChangesNoBytes()
    {
        ModbusStringAnsi item;
        item.setLength(4);
        item.setLiveWrite(true);
        QSignalSpy changes(&item, &ModbusItemBase::bytesChanged);
        readBytes(item, hex("4142004300"));
        QCOMPARE(item.value(), QStringLiteral("BC"));
        QCOMPARE(item.bytes(), hex("4142004300"));
        QCOMPARE(changes.count(), 1);
    }

    // The fixed length cuts before a character that would not fit whole and pads with the adjust byte.
    void stringUtf8AdjustsToFixedLength()
    {
        ModbusStringUtf8 item;
        item.setLength(8);
        item.setAdjustLength(5);
        item.setAdjustByte(32);
        item.setValue(QString::fromUtf8("Приве"));
        QCOMPARE(item.bytes(), hex("d09fd18020"));
        QCOMPARE(item.value(), QString::fromUtf8("Приве"));
    }

    void customBytesKeepsTypedTextUntilRead()
    {
        ModbusCustomBytes item;
        QSignalSpy changes(&item, &ModbusCustomBytes::valueChanged);
        item.setValue(QStringLiteral("0A0b"));
        QCOMPARE(item.bytes(), hex("0a0b"));
        QCOMPARE(item.value(), QStringLiteral("0A0b"));
        QCOMPARE(signalTexts(changes), QStringList{"0A0b"});
        readBytes(item, hex("0a0b"));
        readBytes(item, ModbusBytes());
        readBytes(item, hex("0a0b"));
        QCOMPARE(item.value(), QStringLiteral("0a0b"));
    }

    void bitTakesItsOwnTexts()
    {
        ModbusBit item;
        item.setTrueString(QStringLiteral("on"));
        item.setFalseString(QStringLiteral("off"));
        item.setFormatValue(QStringLiteral("on"));
        QCOMPARE(item.formatValue(), QStringLiteral("on"));
        item.setFormatValue(QStringLiteral("off"));
        QVERIFY(!item.value());
    }

    void arbitraryInputIsTakenSafely_data()
    {
        QTest::addColumn<QString>("type");
        for (const QString &type : factories.keys())
            QTest::newRow(qPrintable(type)) << type;
    }

    // Random byte images and texts: every decode and parse copes, and integer or string text parses back.
    void arbitraryInputIsTakenSafely()
    {
        QFETCH(QString, type);
        static const QStringList roundTrips{"Int8",  "UInt8",  "Int16",      "UInt16",     "Int32",
                                            "UInt32", "Int64", "UInt64", "StringAnsi", "CustomBytes"};
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
};

QTEST_GUILESS_MAIN(tst_TypedItems)
#include "tst_typeditems.moc"
