#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbusbytesarray.h>
#include <TavrexBus1/tavrexbus.h>

#include <QtCore/QRandomGenerator>
#include <QtTest/QtTest>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex(' ');
}

ModbusBytes bytesOf(const char *hexText)
{
    return QByteArray::fromHex(hexText);
}

QList<int> blockSizes(const ModbusBytesArray &blocks)
{
    QList<int> sizes;
    for (const ModbusBytes &block : blocks)
        sizes << int(block.size());
    return sizes;
}

quint64 doubleBits(double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

class tst_ModbusBytes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void metaTypesAreRegisteredAtLoad()
    {
        // Looked up by name before any template use could register them.
        QVERIFY(QMetaType::fromName("ModbusBytes").isValid());
        QVERIFY(QMetaType::fromName("ModbusBytesArray").isValid());
        QCOMPARE(QMetaType::fromName("ModbusBytes"), QMetaType::fromType<ModbusBytes>());
        const QVariant variant = QVariant::fromValue(bytesOf("01 02"));
        QCOMPARE(hex(variant.value<ModbusBytes>()), QByteArray("01 02"));
    }

    void encodings_data()
    {
        QTest::addColumn<ModbusBytes>("bytes");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("float 1.0") << ModbusBytes::fromFloat(1.0f) << QByteArray("3f 80 00 00");
        QTest::newRow("double 1.0") << ModbusBytes::fromDouble(1.0) << QByteArray("3f f0 00 00 00 00 00 00");
        QTest::newRow("int16 -2") << ModbusBytes::fromInt16(-2) << QByteArray("ff fe");
        QTest::newRow("int32 -2") << ModbusBytes::fromInt32(-2) << QByteArray("ff ff ff fe");
        QTest::newRow("uint32 no word swap") << ModbusBytes::fromUInt32(0x12345678) << QByteArray("12 34 56 78");
        QTest::newRow("int64 -2") << ModbusBytes::fromInt64(-2) << QByteArray("ff ff ff ff ff ff ff fe");
        QTest::newRow("uint8") << ModbusBytes::fromUInt8(0xAB) << QByteArray("ab");
        QTest::newRow("uint8 as reg") << ModbusBytes::fromUInt8(0xAB, true) << QByteArray("00 ab");
        QTest::newRow("int8 -1 as reg") << ModbusBytes::fromInt8(-1, true) << QByteArray("00 ff");
        QTest::newRow("bit as reg") << ModbusBytes::fromBit(true, true) << QByteArray("00 01");
        QTest::newRow("byte") << ModbusBytes::fromByte(7) << QByteArray("07");
        QTest::newRow("ansi") << ModbusBytes::fromStringAnsi("AB") << QByteArray("41 42");
        QTest::newRow("ansi as regs") << ModbusBytes::fromStringAnsi("AB", true) << QByteArray("00 41 00 42");
        QTest::newRow("bytes as regs") << ModbusBytes::fromBytes(QByteArray("\x01\xff", 2), true)
                                       << QByteArray("00 01 00 ff");
        QTest::newRow("modbus string") << ModbusBytes::fromModbusString(" 01 03\t00  00 ") << QByteArray("01 03 00 00");
        QTest::newRow("size") << ModbusBytes::fromSize(3, 0xAA) << QByteArray("aa aa aa");
        QTest::newRow("negative size") << ModbusBytes::fromSize(-3) << QByteArray();
        QTest::newRow("regs count") << ModbusBytes::fromRegsCount(2, 0x1234) << QByteArray("12 34 12 34");
        QTest::newRow("arch labels") << ModbusBytes::fromArchLabels({ 1, 0xA0B0C0D0 })
                                     << QByteArray("00 00 00 01 a0 b0 c0 d0");
        QTest::newRow("ushort constructor") << ModbusBytes(ushort(0xBEEF)) << QByteArray("be ef");
        QTest::newRow("char constructor") << ModbusBytes('A') << QByteArray("41");
        QTest::newRow("list") << ModbusBytes::fromList({ bytesOf("01"), ModbusBytes(), bytesOf("02 03") })
                              << QByteArray("01 02 03");
        QTest::newRow("array") << ModbusBytes::fromModbusBytesArray({ bytesOf("0a"), bytesOf("0b") })
                               << QByteArray("0a 0b");
        ModbusBytes streamed;
        streamed << uchar(1) << ushort(0x0203) << uint(0x04050607) << bytesOf("08");
        QTest::newRow("stream operators") << streamed << QByteArray("01 02 03 04 05 06 07 08");
        ModbusBytes appended;
        appended.appendReg(0x0102);
        appended.appendUInt16(0x0304);
        appended.appendUInt32(0x05060708);
        appended.appendFloat(-1.0f);
        appended += uchar(0xFF);
        QTest::newRow("appenders") << appended << QByteArray("01 02 03 04 05 06 07 08 bf 80 00 00 ff");
    }

    void encodings()
    {
        QFETCH(ModbusBytes, bytes);
        QFETCH(QByteArray, expected);
        QCOMPARE(hex(bytes), expected);
    }

    void integersRoundTrip_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<qint64>("value");

        const QList<qint64> int16s = { std::numeric_limits<qint16>::min(), -1, 0, 1,
                                       std::numeric_limits<qint16>::max() };
        const QList<qint64> int32s = { std::numeric_limits<qint32>::min(), -65536, -1, 0, 65536,
                                       std::numeric_limits<qint32>::max() };
        const QList<qint64> int64s = { std::numeric_limits<qint64>::min(), -(qint64(1) << 32), -1, 0,
                                       qint64(1) << 32, std::numeric_limits<qint64>::max() };
        for (qint64 v : int16s)
            QTest::addRow("int16 %lld", v) << 2 << v;
        for (qint64 v : int32s)
            QTest::addRow("int32 %lld", v) << 4 << v;
        for (qint64 v : int64s)
            QTest::addRow("int64 %lld", v) << 8 << v;
    }

    void integersRoundTrip()
    {
        QFETCH(int, width);
        QFETCH(qint64, value);

        // Read back at an odd offset inside a larger buffer to catch alignment
        // and offset faults, not just whole-buffer decoding.
        ModbusBytes encoded;
        switch (width) {
        case 2: encoded = ModbusBytes::fromInt16(qint16(value)); break;
        case 4: encoded = ModbusBytes::fromInt32(qint32(value)); break;
        default: encoded = ModbusBytes::fromInt64(value); break;
        }
        QCOMPARE(encoded.size(), width);
        const ModbusBytes framed = bytesOf("aa") + encoded + bytesOf("bb");
        switch (width) {
        case 2:
            QCOMPARE(qint64(framed.toInt16(1)), value);
            QCOMPARE(framed.toUInt16(1), ushort(value));
            QCOMPARE(framed.toReg(1), ushort(value));
            QCOMPARE(ModbusBytes::fromUInt16(ushort(value)), encoded);
            break;
        case 4:
            QCOMPARE(qint64(framed.toInt32(1)), value);
            QCOMPARE(framed.toUInt32(1), uint(value));
            QCOMPARE(ModbusBytes::fromUInt32(uint(value)), encoded);
            QCOMPARE(framed.toUInt16(1), ushort(quint32(value) >> 16)); // high word first
            break;
        default:
            QCOMPARE(framed.toInt64(1), value);
            QCOMPARE(framed.toUInt64(1), quint64(value));
            QCOMPARE(ModbusBytes::fromUInt64(quint64(value)), encoded);
            QCOMPARE(framed.toUInt32(1), uint(quint64(value) >> 32));
            break;
        }
    }

    void floatingRoundTrip_data()
    {
        QTest::addColumn<double>("value");

        QTest::newRow("zero") << 0.0;
        QTest::newRow("negative zero") << -0.0;
        QTest::newRow("one") << 1.0;
        QTest::newRow("negative fraction") << -21.625;
        QTest::newRow("smallest normal") << double(std::numeric_limits<float>::min());
        QTest::newRow("denormal") << double(std::numeric_limits<float>::denorm_min());
        QTest::newRow("largest float") << double(std::numeric_limits<float>::max());
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::newRow("negative infinity") << -std::numeric_limits<double>::infinity();
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
    }

    void floatingRoundTrip()
    {
        QFETCH(double, value);

        const float single = float(value);
        const ModbusBytes floatBytes = bytesOf("00") + ModbusBytes::fromFloat(single);
        const float readFloat = floatBytes.toFloat(1);
        QCOMPARE(putIn32(readFloat), putIn32(single));

        const ModbusBytes doubleBytes = bytesOf("00 00 00") + ModbusBytes::fromDouble(value);
        QCOMPARE(doubleBits(doubleBytes.toDouble(3)), doubleBits(value));
    }

    void doubleStruct_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("-2.5") << -2.5 << QByteArray("ff ff ff fe bf 00 00 00");
        QTest::newRow("3.25") << 3.25 << QByteArray("00 00 00 03 3e 80 00 00");
        QTest::newRow("-0.75") << -0.75 << QByteArray("00 00 00 00 bf 40 00 00");
        QTest::newRow("whole negative") << -7.0 << QByteArray("ff ff ff f9 80 00 00 00");
        QTest::newRow("int max") << 2147483647.5 << QByteArray("7f ff ff ff 3f 00 00 00");
        QTest::newRow("too large saturates") << 1e12 << QByteArray("7f ff ff ff 00 00 00 00");
        QTest::newRow("infinity saturates") << -std::numeric_limits<double>::infinity()
                                            << QByteArray("80 00 00 00 80 00 00 00");
    }

    void doubleStruct()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, expected);

        const ModbusBytes bytes = ModbusBytes::fromDoubleStruct(value);
        QCOMPARE(hex(bytes), expected);
        if (std::abs(value) < 2147483647.0)
            QCOMPARE(bytes.toDoubleStruct(), value);
    }

    void bitAndByteReinterpretation()
    {
        QCOMPARE(putIn16(0x34, 0x12), ushort(0x1234));
        QCOMPARE(putIn32(0x78, 0x56, 0x34, 0x12), 0x12345678u);
        QCOMPARE(putIn64(8, 7, 6, 5, 4, 3, 2, 1), 0x0102030405060708ULL);
        uchar b[8] = {};
        extractBytes(ushort(0x1234), b[0], b[1]);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(b), 2).toHex(' '), QByteArray("34 12"));
        extractBytes(0x12345678u, b[0], b[1], b[2], b[3]);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(b), 4).toHex(' '), QByteArray("78 56 34 12"));
        extractBytes(0x0102030405060708ULL, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(b), 8).toHex(' '), QByteArray("08 07 06 05 04 03 02 01"));

        QCOMPARE(putIn8(-1), uchar(0xFF));
        QCOMPARE(extractInt8(0x80), qint8(-128));
        QCOMPARE(putIn16(short(-2)), ushort(0xFFFE));
        QCOMPARE(extractInt16(0x8000), short(-32768));
        QCOMPARE(putIn32(-2), 0xFFFFFFFEu);
        QCOMPARE(extractInt32(0x80000000u), std::numeric_limits<int>::min());
        QCOMPARE(putIn32(1.0f), 0x3F800000u);
        QCOMPARE(extractFloat(0xC0200000u), -2.5f);
        QCOMPARE(putIn64((long long)-1), ~0ULL);
        QCOMPARE(extractInt64(0x8000000000000000ULL), std::numeric_limits<long long>::min());
        QCOMPARE(putIn64(1.0), 0x3FF0000000000000ULL);
        QCOMPARE(extractDouble(0xC004000000000000ULL), -2.5);
    }


    void readersAreZeroOutsideTheBuffer()
    {
        // Every reader at every position around every small size: the value when
        // the whole field fits, the neutral value otherwise.
        const ModbusBytes pattern = bytesOf("81 82 83 84 85 86 87 88 89 8a");
        for (int size = 0; size <= pattern.size(); ++size) {
            const ModbusBytes bytes = pattern.left(size);
            for (int pos = -9; pos <= size + 1; ++pos) {
                const auto fits = [&](int width) { return pos >= 0 && pos + width <= size; };
                const uchar first = uchar(0x81 + pos);
                QCOMPARE(bytes.toUInt8(pos), fits(1) ? first : uchar(0));
                QCOMPARE(bytes.toUInt8(pos, true), fits(2) ? uchar(first + 1) : uchar(0));
                QCOMPARE(bytes.toUInt16(pos), fits(2) ? putIn16(first + 1, first) : ushort(0));
                QCOMPARE(bytes.toUInt32(pos),
                         fits(4) ? putIn32(first + 3, first + 2, first + 1, first) : 0u);
                QCOMPARE(bytes.toUInt64(pos) != 0, fits(8));
                QCOMPARE(bytes.toDouble(pos) != 0.0, fits(8));
                QCOMPARE(bytes.toDoubleStruct(pos) != 0.0, fits(8));
                QCOMPARE(bytes.toDateTime(pos).isValid(), fits(4));
                QCOMPARE(bytes.toBit(pos, 0), fits(1) && (first & 1));
            }
        }
        const ModbusBytes four = bytesOf("01 02 03 04 05");
        QCOMPARE(ModbusBytes().first(), uchar(0));
        QCOMPARE(ModbusBytes().last(), uchar(0));
        QCOMPARE(four.first(), uchar(1));
        QCOMPARE(four.last(), uchar(5));
        QCOMPARE(four.getReg(1), ushort(0x0304));
        QCOMPARE(four.getReg(2), ushort(0));
        QCOMPARE(four.getReg(-1), ushort(0));
        QCOMPARE(four.getArchLabel(1), 0u);
        QCOMPARE(four.getArchLabel(std::numeric_limits<int>::max()), 0u);
        QCOMPARE(four.toBit(0, 8), false);
    }

    void randomPositionsNeverFault()
    {
        // Hostile positions and lengths must stay defined behaviour (the suite
        // also runs under the address and undefined-behaviour sanitizers).
        QRandomGenerator random(20240601);
        const QList<int> extremes = { std::numeric_limits<int>::min(), -2, -1, 0, 1,
                                      std::numeric_limits<int>::max() - 1, std::numeric_limits<int>::max() };
        const auto pick = [&](int size) {
            return random.bounded(4) == 0 ? extremes.at(random.bounded(int(extremes.size())))
                                          : random.bounded(-3, size + 4);
        };
        for (int round = 0; round < 3000; ++round) {
            ModbusBytes bytes = ModbusBytes::fromSize(random.bounded(12), uchar(random.bounded(256)));
            const int pos = pick(int(bytes.size()));
            const int len = pick(int(bytes.size()));
            QVERIFY(ModbusBytes::fromOther(bytes, pos, len).size() <= bytes.size());
            QVERIFY(bytes.toRegs(pos, len).size() <= bytes.size() / 2);
            QVERIFY(bytes.toArchLabels(pos, len).size() <= bytes.size() / 4);
            QVERIFY(bytes.toArchTimeLabels(pos, len).size() <= bytes.size() / 4);
            QVERIFY(bytes.toStringAnsi(pos, len, round % 2).size() <= bytes.size());
            QVERIFY(bytes.toStringUtf8(pos, len).size() <= bytes.size());
            QVERIFY(bytes.splitBySize(len, pos).size() <= qMax<qsizetype>(bytes.size(), 1));
            bytes.getBit(pos, round % 2);
            bytes.toDoubleStruct(pos);
            bytes.getReg(pos);
            bytes.getArchLabel(pos);
            ModbusBytes edited(bytes);
            edited.append(bytes, pos, len);
            edited.prepend(bytes, pos, len);
            edited.setBit(pos, true);
            edited.removeLast(len);
            if (len >= 0 && len < 64)
                edited.resize(len, round % 2);
            if (pos < 1 << 16 && len < 1 << 16)
                edited.setBytes(bytes, pos, len);
            QVERIFY(edited.size() <= (1 << 17) + 64);
        }
    }

    void slices_data()
    {
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("len");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("all") << 0 << -1 << QByteArray("01 02 03 04");
        QTest::newRow("middle") << 1 << 2 << QByteArray("02 03");
        QTest::newRow("to end") << 2 << -1 << QByteArray("03 04");
        QTest::newRow("past end is cut") << 2 << 10 << QByteArray("03 04");
        QTest::newRow("len below -1 is empty") << 1 << -5 << QByteArray();
        QTest::newRow("zero len") << 1 << 0 << QByteArray();
        QTest::newRow("pos at size") << 4 << -1 << QByteArray();
        QTest::newRow("pos past size") << 9 << 1 << QByteArray();
        QTest::newRow("negative pos") << -1 << 2 << QByteArray();
        QTest::newRow("huge len") << 1 << std::numeric_limits<int>::max() << QByteArray("02 03 04");
    }

    void slices()
    {
        QFETCH(int, pos);
        QFETCH(int, len);
        QFETCH(QByteArray, expected);

        const ModbusBytes src = bytesOf("01 02 03 04");
        QCOMPARE(hex(ModbusBytes::fromOther(src, pos, len)), expected);

        ModbusBytes appended = bytesOf("ff");
        appended.append(src, pos, len);
        QCOMPARE(hex(appended), hex(bytesOf("ff") + QByteArray::fromHex(expected)));
        ModbusBytes prepended = bytesOf("ff");
        prepended.prepend(src, pos, len);
        QCOMPARE(hex(prepended), hex(QByteArray::fromHex(expected) + QByteArray::fromHex("ff")));

        const ModbusBytesArray array(src, pos, len);
        QCOMPARE(array.size(), 1);
        QCOMPARE(hex(array.first()), expected);
        // Blocks of one byte slice as the bytes do.
        const ModbusBytesArray blocks(src.splitBySize(1), pos, len);
        QCOMPARE(hex(blocks.toModbusBytes()), expected);
    }

    void takeFirst_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("taken");
        QTest::addColumn<QByteArray>("left");

        QTest::newRow("two") << 2 << QByteArray("01 02") << QByteArray("03");
        QTest::newRow("none") << 0 << QByteArray() << QByteArray("01 02 03");
        QTest::newRow("all") << 3 << QByteArray("01 02 03") << QByteArray();
        QTest::newRow("more than all") << 7 << QByteArray("01 02 03") << QByteArray();
        QTest::newRow("negative is refused") << -1 << QByteArray() << QByteArray("01 02 03");
    }

    void takeFirst()
    {
        QFETCH(int, n);
        QFETCH(QByteArray, taken);
        QFETCH(QByteArray, left);

        ModbusBytes bytes = bytesOf("01 02 03");
        const ModbusBytes shared(bytes);
        if (n < 0)
            QTest::ignoreMessage(QtCriticalMsg, "takeFirst - invalid argument");
        QCOMPARE(hex(bytes.takeFirst(n)), taken);
        QCOMPARE(hex(bytes), left);
        QCOMPARE(hex(shared), QByteArray("01 02 03")); // a copy is never touched
    }


    void splitBySize_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<int>("maxCount");
        QTest::addColumn<QList<int>>("sizes");

        QTest::newRow("4 of 10") << 10 << 4 << -1 << QList<int>{ 4, 4, 2 };
        QTest::newRow("exact") << 8 << 4 << -1 << QList<int>{ 4, 4 };
        QTest::newRow("limited") << 10 << 4 << 2 << QList<int>{ 4, 4 };
        QTest::newRow("limit above need") << 10 << 4 << 9 << QList<int>{ 4, 4, 2 };
        QTest::newRow("max count 0") << 10 << 4 << 0 << QList<int>{};
        QTest::newRow("chunk 0 is whole") << 10 << 0 << -1 << QList<int>{ 10 };
        QTest::newRow("negative chunk is whole") << 10 << -3 << -1 << QList<int>{ 10 };
        QTest::newRow("chunk larger") << 3 << 8 << -1 << QList<int>{ 3 };
        QTest::newRow("empty") << 0 << 4 << -1 << QList<int>{};
        QTest::newRow("huge chunk") << 5 << std::numeric_limits<int>::max() << -1 << QList<int>{ 5 };
    }

    void splitBySize()
    {
        QFETCH(int, size);
        QFETCH(int, chunk);
        QFETCH(int, maxCount);
        QFETCH(QList<int>, sizes);

        ModbusBytes bytes;
        for (int i = 0; i < size; ++i)
            bytes.append(uchar(i));
        const ModbusBytesArray blocks = bytes.splitBySize(chunk, maxCount);
        QCOMPARE(blockSizes(blocks), sizes);
        if (maxCount < 0)
            QCOMPARE(blocks.toModbusBytes(), bytes);
    }

    void splitByCount_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QList<int>>("sizes");

        QTest::newRow("two") << 2 << QList<int>{ 5, 5 };
        QTest::newRow("three") << 3 << QList<int>{ 3, 3, 3, 1 };
        QTest::newRow("more than bytes") << 20 << QList<int>{ 10 };
        QTest::newRow("zero") << 0 << QList<int>{};
        QTest::newRow("negative") << -2 << QList<int>{};
    }

    void splitByCount()
    {
        QFETCH(int, n);
        QFETCH(QList<int>, sizes);
        QCOMPARE(blockSizes(ModbusBytes::fromSize(10).splitByCount(n)), sizes);
    }

    void utf8PrefixKeepsWholeCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxSize");
        QTest::addColumn<QByteArray>("expected");

        const QString cyrillic = QString::fromUtf8("\xd0\x96\xd0\xb6");
        const QString emoji = QString::fromUtf8("a\xf0\x9f\x99\x82");
        QTest::newRow("cyrillic cut inside second") << cyrillic << 3 << QByteArray("d0 96");
        QTest::newRow("cyrillic fits") << cyrillic << 4 << QByteArray("d0 96 d0 b6");
        QTest::newRow("cyrillic cut inside first") << cyrillic << 1 << QByteArray();
        QTest::newRow("ascii cut") << QString("abcdef") << 3 << QByteArray("61 62 63");
        QTest::newRow("surrogate pair not split") << emoji << 4 << QByteArray("61");
        QTest::newRow("surrogate pair fits") << emoji << 5 << QByteArray("61 f0 9f 99 82");
        QTest::newRow("zero size") << QString("abc") << 0 << QByteArray();
        QTest::newRow("negative size") << QString("abc") << -1 << QByteArray();
        QTest::newRow("three byte char") << QString::fromUtf8("\xe2\x82\xac") << 2 << QByteArray();
    }

    void utf8PrefixKeepsWholeCharacters()
    {
        QFETCH(QString, text);
        QFETCH(int, maxSize);
        QFETCH(QByteArray, expected);
        QCOMPARE(hex(ModbusBytes::fromStringUtf8(text, maxSize)), expected);
        QCOMPARE(ModbusBytes::fromStringUtf8(text), text.toUtf8());
    }

    void toStringUtf8StopsAtZero()
    {
        const ModbusBytes bytes = ModbusBytes::fromStringUtf8(QString::fromUtf8("\xd0\x96x")) + bytesOf("00 41");
        QCOMPARE(bytes.toStringUtf8(), QString::fromUtf8("\xd0\x96x"));
        QCOMPARE(bytes.toStringUtf8(2), QString("x"));
        QCOMPARE(bytes.toStringUtf8(4), QString("A"));
        QCOMPARE(bytes.toStringUtf8(9), QString());
    }

    void toStringAnsi_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("len");
        QTest::addColumn<bool>("perReg");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("isNull");

        QTest::newRow("all") << QByteArray("ABC") << 0 << -1 << false << QString("ABC") << false;
        QTest::newRow("zero kept") << QByteArray("A\0B", 3) << 0 << -1 << false << QString::fromLatin1("A\0B", 3)
                                   << false;
        QTest::newRow("middle") << QByteArray("ABCD") << 1 << 2 << false << QString("BC") << false;
        QTest::newRow("past end is null") << QByteArray("ABC") << 2 << 2 << false << QString() << true;
        QTest::newRow("negative pos is null") << QByteArray("ABC") << -1 << 2 << false << QString() << true;
        QTest::newRow("empty is null") << QByteArray() << 0 << -1 << false << QString() << true;
        QTest::newRow("per reg") << QByteArray("\0A\0B", 4) << 0 << -1 << true << QString("AB") << false;
        QTest::newRow("per reg odd size") << QByteArray("\0A\0", 3) << 0 << -1 << true << QString("A") << false;
        QTest::newRow("per reg limited") << QByteArray("\0A\0B\0C", 6) << 0 << 2 << true << QString("AB") << false;
        QTest::newRow("per reg from second reg") << QByteArray("\0A\0B", 4) << 2 << -1 << true << QString("B") << false;
        QTest::newRow("latin1") << QByteArray("\xe9") << 0 << -1 << false << QString(QChar(0xE9)) << false;
    }

    void toStringAnsi()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, pos);
        QFETCH(int, len);
        QFETCH(bool, perReg);
        QFETCH(QString, expected);
        QFETCH(bool, isNull);

        const QString text = ModbusBytes(bytes).toStringAnsi(pos, len, perReg);
        QCOMPARE(text, expected);
        QCOMPARE(text.isNull(), isNull);
        if (!isNull && pos == 0 && len == -1 && bytes.size() % 2 == 0)
            QCOMPARE(ModbusBytes::fromStringAnsi(text, perReg), ModbusBytes(bytes));
    }

    void bits_data()
    {
        QTest::addColumn<int>("bit");
        QTest::addColumn<QByteArray>("afterSet");

        QTest::newRow("bit 0") << 0 << QByteArray("01 00");
        QTest::newRow("bit 9") << 9 << QByteArray("00 02");
        QTest::newRow("bit 15") << 15 << QByteArray("00 80");
        QTest::newRow("bit 16 is outside") << 16 << QByteArray("00 00");
        QTest::newRow("negative") << -1 << QByteArray("00 00");
    }

    void bits()
    {
        QFETCH(int, bit);
        QFETCH(QByteArray, afterSet);

        ModbusBytes bytes = bytesOf("00 00");
        bytes.setBit(bit, true);
        QCOMPARE(hex(bytes), afterSet);
        const bool inside = bit >= 0 && bit < 16;
        QCOMPARE(bytes.getBit(bit), inside);
        // Counted from the last byte: bit n lands in the mirrored byte.
        QCOMPARE(bytes.getBit(bit < 0 ? bit : (bit + 8) % 16, true), inside);
        bytes.setBit(bit, false);
        QCOMPARE(hex(bytes), QByteArray("00 00"));
    }

    void editing_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("arg");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("align front odd") << QByteArray("010203") << "alignFront" << 0 << QByteArray("00 01 02 03");
        QTest::newRow("align front even") << QByteArray("01020304") << "alignFront" << 0 << QByteArray("01 02 03 04");
        QTest::newRow("align end odd") << QByteArray("01") << "alignEnd" << 0 << QByteArray("01 00");
        QTest::newRow("reverse") << QByteArray("010203") << "reverse" << 0 << QByteArray("03 02 01");
        QTest::newRow("remove last") << QByteArray("010203") << "removeLast" << 2 << QByteArray("01");
        QTest::newRow("remove more than all") << QByteArray("010203") << "removeLast" << 9 << QByteArray();
        QTest::newRow("remove negative") << QByteArray("010203") << "removeLast" << -1 << QByteArray("01 02 03");
        QTest::newRow("grow at end") << QByteArray("0102") << "resizeEnd" << 4 << QByteArray("01 02 00 00");
        QTest::newRow("cut at end") << QByteArray("0102") << "resizeEnd" << 1 << QByteArray("01");
        QTest::newRow("grow at front") << QByteArray("0102") << "resizeFront" << 3 << QByteArray("00 01 02");
        QTest::newRow("cut at front") << QByteArray("010203") << "resizeFront" << 1 << QByteArray("03");
        QTest::newRow("resize negative") << QByteArray("0102") << "resizeEnd" << -4 << QByteArray();
        QTest::newRow("append text") << QByteArray("01") << "appendText" << 0 << QByteArray("01 41 42");
        QTest::newRow("prepend byte") << QByteArray("01") << "prependByte" << 0xFF << QByteArray("ff 01");
        QTest::newRow("subscript write") << QByteArray("0102") << "subscript" << 0xFE << QByteArray("01 fe");
    }

    void editing()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, operation);
        QFETCH(int, arg);
        QFETCH(QByteArray, after);

        ModbusBytes bytes = ModbusBytes::fromHex(before);
        const ModbusBytes original(bytes);
        if (operation == "alignFront") {
            QCOMPARE(hex(bytes.alignedToWord(false)), after);
            bytes.alignToWord(false);
        } else if (operation == "alignEnd") {
            QCOMPARE(hex(bytes.alignedToWord(true)), after);
            bytes.alignToWord(true);
        } else if (operation == "reverse") {
            bytes.reverse();
        } else if (operation == "removeLast") {
            bytes.removeLast(arg);
        } else if (operation == "resizeEnd") {
            QCOMPARE(hex(bytes.resized(arg, true)), after);
            bytes.resize(arg, true);
        } else if (operation == "resizeFront") {
            QCOMPARE(hex(bytes.resized(arg, false)), after);
            bytes.resize(arg, false);
        } else if (operation == "appendText") {
            bytes.append("AB");
        } else if (operation == "prependByte") {
            bytes.prepend(uchar(arg));
        } else if (operation == "subscript") {
            bytes[1] = uchar(arg);
        }
        QCOMPARE(hex(bytes), after);
        QCOMPARE(hex(original), hex(ModbusBytes::fromHex(before))); // shared copy detached
    }

    void setBytes_data()
    {
        QTest::addColumn<QByteArray>("src");
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("len");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("overwrite inside") << QByteArray("aabb") << 1 << -1 << QByteArray("01 aa bb 04");
        QTest::newRow("grow past end") << QByteArray("aabb") << 3 << -1 << QByteArray("01 02 03 aa bb");
        QTest::newRow("len shorter than src") << QByteArray("aabbcc") << 0 << 2 << QByteArray("aa bb 03 04");
        QTest::newRow("len longer than src grows with zeros") << QByteArray("aa") << 3 << 3
                                                              << QByteArray("01 02 03 aa 00 00");
        QTest::newRow("far position") << QByteArray("aa") << 6 << -1 << QByteArray("01 02 03 04 00 00 aa");
        QTest::newRow("negative pos ignored") << QByteArray("aa") << -1 << -1 << QByteArray("01 02 03 04");
        QTest::newRow("zero len") << QByteArray("aa") << 1 << 0 << QByteArray("01 02 03 04");
        QTest::newRow("huge len ignored") << QByteArray("aa") << 1 << std::numeric_limits<int>::max()
                                          << QByteArray("01 02 03 04");
    }

    void setBytes()
    {
        QFETCH(QByteArray, src);
        QFETCH(int, pos);
        QFETCH(int, len);
        QFETCH(QByteArray, after);

        ModbusBytes bytes = bytesOf("01 02 03 04");
        bytes.setBytes(ModbusBytes::fromHex(src), pos, len);
        QCOMPARE(hex(bytes), after);

        // Copying a buffer into itself must not read freed or moved memory.
        ModbusBytes self = bytesOf("01 02 03 04");
        self.setBytes(self, 2, -1);
        QCOMPARE(hex(self), QByteArray("01 02 01 02 03 04"));
    }

    void series_data()
    {
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<unsigned short>>("regs");
        QTest::addColumn<QList<unsigned int>>("labels");

        using Regs = QList<unsigned short>;
        using Labels = QList<unsigned int>;
        QTest::newRow("all") << 0 << -1 << Regs{ 0x0102, 0x0304, 0x0506, 0x0708, 0x090a }
                             << Labels{ 0x01020304, 0x05060708 };
        QTest::newRow("from 2, two") << 2 << 2 << Regs{ 0x0304, 0x0506 } << Labels{ 0x03040506, 0x0708090a };
        QTest::newRow("odd pos stops at last whole") << 7 << -1 << Regs{ 0x0809 } << Labels{};
        QTest::newRow("count larger than data") << 8 << 5 << Regs{ 0x090a } << Labels{};
        QTest::newRow("zero count") << 0 << 0 << Regs{} << Labels{};
        QTest::newRow("negative count") << 0 << -2 << Regs{} << Labels{};
        QTest::newRow("negative pos") << -2 << 2 << Regs{} << Labels{};
        QTest::newRow("pos at end") << 10 << 1 << Regs{} << Labels{};
    }

    void series()
    {
        QFETCH(int, pos);
        QFETCH(int, count);
        QFETCH(QList<unsigned short>, regs);
        QFETCH(QList<unsigned int>, labels);

        const ModbusBytes bytes = bytesOf("01 02 03 04 05 06 07 08 09 0a");
        QCOMPARE(bytes.regsCount(), 5);
        QCOMPARE(bytes.archLabelsCount(), 2);
        QCOMPARE(bytes.toRegs(pos, count), regs);
        QCOMPARE(bytes.toArchLabels(pos, count), labels);
        QCOMPARE(bytes.toArchTimeLabels(pos, count).size(), labels.size());
    }

    void timeLabels()
    {
        const QDateTime label(QDate(2024, 2, 29), QTime(13, 45, 10));
        const ModbusBytes bytes = ModbusBytes::fromDateTime(label);
        QCOMPARE(bytes.toUInt32(), TavrexBus::archLabelToSeconds(label));
        QCOMPARE(bytes.toDateTime(), label);

        ModbusBytes appended;
        appended.appendDateTime(label);
        QCOMPARE(appended, bytes);

        const QList<QDateTime> labels = { label, label.addDays(1) };
        const ModbusBytes list = ModbusBytes::fromArchTimeLabels(labels);
        QCOMPARE(list.toArchTimeLabels(), labels);
        QCOMPARE(hex(ModbusBytes::fromDateTime(QDateTime(QDate(1970, 1, 1), QTime(0, 0, 1)))),
                 QByteArray("00 00 00 01"));
        QCOMPARE(hex(ModbusBytes::fromDateTime(QDateTime())), QByteArray("ff ff ff ff"));
    }

    void binaryAndZero_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("binary");
        QTest::addColumn<bool>("emptyOrZero");

        QTest::newRow("empty") << QByteArray() << QString() << true;
        QTest::newRow("zero") << QByteArray("00") << QString("0") << true;
        QTest::newRow("zeros") << QByteArray("0000") << QString("00") << true;
        QTest::newRow("five") << QByteArray("05") << QString("101") << false;
        QTest::newRow("pair") << QByteArray("05ff") << QString("10111111111") << false;
        QTest::newRow("last nonzero") << QByteArray("000080") << QString("0010000000") << false;
    }

    void binaryAndZero()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, binary);
        QFETCH(bool, emptyOrZero);

        const ModbusBytes value = ModbusBytes::fromHex(bytes);
        QCOMPARE(value.toBinary(), binary);
        QCOMPARE(value.emptyOrZero(), emptyOrZero);
    }

    void checkCrc16_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("valid");

        QTest::newRow("read 10 registers") << QByteArray("01030000000ac5cd") << true;
        QTest::newRow("read 1 register") << QByteArray("010300000001840a") << true;
        QTest::newRow("swapped crc bytes") << QByteArray("01030000000acdc5") << false;
        QTest::newRow("payload bit flipped") << QByteArray("01030000010ac5cd") << false;
        QTest::newRow("two bytes") << QByteArray("ffff") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("one byte and its crc") << QByteArray("0040bf") << false;
    }

    void checkCrc16()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, valid);

        ModbusBytes bytes = ModbusBytes::fromHex(frame);
        if (QTest::currentDataTag() == QByteArray("one byte and its crc")) {
            bytes = bytesOf("00");
            bytes.appendUInt16(qChecksumModbus(bytes));
            valid = true;
        }
        QCOMPARE(bytes.checkCrc16(), valid);
    }

    void byteAccessIsUnsigned()
    {
        ModbusBytes bytes = bytesOf("ff 80");
        QCOMPARE(bytes.at(0), uchar(0xFF));
        QCOMPARE(bytes[1], uchar(0x80));
        QCOMPARE(bytes[1u], uchar(0x80));
        QCOMPARE(bytes[qsizetype(0)], uchar(0xFF));
        const ModbusBytes &constBytes = bytes;
        QCOMPARE(constBytes[0], uchar(0xFF));
        QCOMPARE(bytes.toInt8(0), qint8(-1));
        QCOMPARE(bytes.toInt8(0, true), qint8(-128));
    }

    void comparesWithSingleBlockArray()
    {
        const ModbusBytes bytes = bytesOf("01 02");
        QVERIFY(bytes == ModbusBytesArray({ bytesOf("01 02") }));
        QVERIFY(bytes != ModbusBytesArray({ bytesOf("01") }));
        QVERIFY(bytes != ModbusBytesArray({ bytesOf("01 02"), bytesOf("01 02") }));
        QVERIFY(bytes != ModbusBytesArray());
        QVERIFY(ModbusBytes() == ModbusBytesArray({ ModbusBytes() }));
    }



    void bytesArrayOperations()
    {
        ModbusBytesArray blocks({ bytesOf("01 02 03"), ModbusBytes(), bytesOf("04") });
        QCOMPARE(blocks.totalSize(), 4);
        QCOMPARE(hex(blocks.toModbusBytes()), QByteArray("01 02 03 04"));

        const ModbusBytesArray shrunk = blocks.shrinkedToByte();
        QCOMPARE(shrunk.size(), 3);
        QCOMPARE(hex(shrunk.toModbusBytes()), QByteArray("03 00 04"));

        const ModbusBytesArray aligned = blocks.alignedToWord(false);
        QCOMPARE(blockSizes(aligned), (QList<int>{ 4, 0, 2 }));
        QCOMPARE(hex(aligned.toModbusBytes()), QByteArray("00 01 02 03 00 04"));

        blocks.prependBytesArray({ bytesOf("aa"), bytesOf("bb") });
        QCOMPARE(hex(blocks.toModbusBytes()), QByteArray("aa bb 01 02 03 04"));
        QCOMPARE(blocks.size(), 5);
        QCOMPARE(hex(blocks.first()), QByteArray("aa"));

        const QVariant variant = QVariant::fromValue(blocks);
        QCOMPARE(variant.value<ModbusBytesArray>(), blocks);
    }
};

QTEST_APPLESS_MAIN(tst_ModbusBytes)

#include "tst_modbusbytes.moc"
