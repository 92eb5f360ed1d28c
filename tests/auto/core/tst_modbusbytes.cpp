#include "packettesting.h"

#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbusbytesarray.h>
#include <TavrexBus1/tavrexbus.h>

#include <QtCore/QRandomGenerator>
#include <QtTest/QtTest>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

using PacketTesting::hex;

namespace {

QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex(' ');
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

// Bit-at-a-time Modbus CRC, written independently of the library's tables.
quint16 referenceCrc(const QByteArray &data)
{
    quint16 crc = 0xFFFF;
    for (char c : data) {
        crc ^= uchar(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

// The library keeps the CRC byte-swapped, so that appending it big-endian puts the low byte first.
quint16 swapped(quint16 crc)
{
    return quint16((crc << 8) | (crc >> 8));
}

// Every slicing call at pos and len takes the part QByteArray::mid takes, and edits stay bounded.
void checkSlices(const ModbusBytes &bytes, int pos, int len)
{
    const bool odd = len & 1;
    // Nothing for a negative position or a length below -1.
    const ModbusBytes slice = pos < 0 || len < -1 ? ModbusBytes() : ModbusBytes(bytes.mid(pos, len));
    QCOMPARE(ModbusBytes::fromOther(bytes, pos, len), slice);
    QCOMPARE(ModbusBytesArray(bytes, pos, len).toModbusBytes(), slice);
    QCOMPARE(ModbusBytesArray(bytes.splitBySize(1), pos, len).toModbusBytes(), slice);
    // Series: the whole registers or labels from the position on, at most len of them.
    const ModbusBytes tail = pos < 0 || len < -1 ? ModbusBytes() : ModbusBytes(bytes.mid(pos));
    QList<unsigned short> regs;
    for (int at = 0; at + 2 <= tail.size() && (len == -1 || regs.size() < len); at += 2)
        regs << tail.toUInt16(at);
    QList<unsigned int> labels;
    for (int at = 0; at + 4 <= tail.size() && (len == -1 || labels.size() < len); at += 4)
        labels << tail.toUInt32(at);
    QCOMPARE(bytes.toRegs(pos, len), regs);
    QCOMPARE(bytes.toArchLabels(pos, len), labels);
    QCOMPARE(bytes.toArchTimeLabels(pos, len).size(), labels.size());
    QVERIFY(bytes.toStringAnsi(pos, len, odd).size() <= bytes.size());
    QCOMPARE(bytes.toStringUtf8(pos, len), QString::fromUtf8(slice)); // no zero byte to stop at
    QVERIFY(bytes.splitBySize(len, pos).size() <= qMax<qsizetype>(bytes.size(), 1));
    bytes.getBit(pos, odd);
    ModbusBytes edited(bytes);
    edited.append(bytes, pos, len);
    edited.prepend(bytes, pos, len);
    QCOMPARE(edited, ModbusBytes(slice + bytes + slice));
    edited.setBit(pos, true);
    edited.removeLast(len);
    if (len >= 0 && len < 64)
        edited.resize(len, odd);
    if (pos < 1 << 16 && len < 1 << 16)
        edited.setBytes(bytes, pos, len);
    QVERIFY(edited.size() <= (1 << 17) + 64);
}

using Edit = std::function<void(ModbusBytes &)>;

} // namespace

Q_DECLARE_METATYPE(Edit)

class tst_ModbusBytes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void metaTypesAreRegisteredAtLoad()
    {
        // Looked up by name before any template use could register them.
        QCOMPARE(QMetaType::fromName("ModbusBytes"), QMetaType::fromType<ModbusBytes>());
        QVERIFY(QMetaType::fromName("ModbusBytesArray").isValid());
    }

    void encodings_data()
    {
        // Items check the number and text codecs and the 8-bit register forms; the position loop every width.
        QTest::addColumn<ModbusBytes>("bytes");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("bit as reg") << ModbusBytes::fromBit(true, true) << QByteArray("00 01");
        QTest::newRow("bytes as regs") << ModbusBytes::fromBytes(QByteArray("\x01\xff", 2), true)
                                       << QByteArray("00 01 00 ff");
        QTest::newRow("modbus string") << ModbusBytes::fromModbusString(" 01 03\t00  00 ") << QByteArray("01 03 00 00");
        QTest::newRow("negative size") << ModbusBytes::fromSize(-3) << QByteArray();
        QTest::newRow("regs count") << ModbusBytes::fromRegsCount(2, 0x1234) << QByteArray("12 34 12 34");
        QTest::newRow("arch labels") << ModbusBytes::fromArchLabels({ 1, 0xA0B0C0D0 })
                                     << QByteArray("00 00 00 01 a0 b0 c0 d0");
        QTest::newRow("ushort constructor") << ModbusBytes(ushort(0xBEEF)) << QByteArray("be ef");
        QTest::newRow("list") << ModbusBytes::fromList({ hex("01"), ModbusBytes(), hex("02 03") })
                              << QByteArray("01 02 03");
        ModbusBytes streamed;
        streamed << uchar(1) << ushort(0x0203) << uint(0x04050607) << hex("08");
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

    void floatingRoundTrip_data()
    {
        QTest::addColumn<double>("value");

        QTest::newRow("negative zero") << -0.0;
        QTest::newRow("denormal") << double(std::numeric_limits<float>::denorm_min());
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
    }

    void floatingRoundTrip()
    {
        QFETCH(double, value);

        const float single = float(value);
        const ModbusBytes floatBytes = hex("00") + ModbusBytes::fromFloat(single);
        QCOMPARE(putIn32(floatBytes.toFloat(1)), putIn32(single));

        const ModbusBytes doubleBytes = hex("00 00 00") + ModbusBytes::fromDouble(value);
        QCOMPARE(doubleBits(doubleBytes.toDouble(3)), doubleBits(value));
    }

    void doubleStruct_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("-0.75") << -0.75 << QByteArray("00 00 00 00 bf 40 00 00");
        QTest::newRow("whole negative") << -7.0 << QByteArray("ff ff ff f9 80 00 00 00");
        QTest::newRow("fraction rounding to one") << -2.999999999999 << QByteArray("ff ff ff fd 80 00 00 00");
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

    void byteJoinsAndSplits()
    {
        // The value casts behind them run in every codec row above.
        QCOMPARE(putIn64(8, 7, 6, 5, 4, 3, 2, 1), 0x0102030405060708ULL);
        uchar b[8] = {};
        extractBytes(0x0102030405060708ULL, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(b), 8).toHex(' '), QByteArray("08 07 06 05 04 03 02 01"));
    }

    // Every reader and slicing call at every position and length around every small size and at the
    // extremes: the value when the whole field fits, the neutral value otherwise, the part that
    // QByteArray::mid takes, and defined behaviour throughout (the suite also runs under the sanitizers).
    void positionsOutsideTheBufferAreSafe()
    {
        const ModbusBytes pattern = hex("81 82 83 84 85 86 87 88 89 8a");
        const int min = std::numeric_limits<int>::min();
        const int max = std::numeric_limits<int>::max();
        for (int size = 0; size <= pattern.size(); ++size) {
            const ModbusBytes bytes = pattern.left(size);
            QCOMPARE(bytes.first(), size ? uchar(0x81) : uchar(0));
            QCOMPARE(bytes.last(), size ? uchar(0x80 + size) : uchar(0));
            QList<int> around{ min, max - 1, max };
            for (int at = -9; at <= size + 1; ++at)
                around << at;
            for (int pos : std::as_const(around)) {
                const auto fits = [&](int width) { return pos >= 0 && pos <= size - width; };
                const uchar first = fits(1) ? uchar(0x81 + pos) : uchar(0);
                if (fits(1)) {
                    QCOMPARE(bytes.at(pos), first); // bytes read unsigned
                    QCOMPARE(bytes[pos], first);
                }
                QCOMPARE(bytes.toUInt8(pos), first);
                QCOMPARE(bytes.toUInt8(pos, true), fits(2) ? uchar(first + 1) : uchar(0));
                QCOMPARE(bytes.toInt8(pos, true), fits(2) ? qint8(first + 1) : qint8(0));
                QCOMPARE(bytes.toUInt16(pos), fits(2) ? putIn16(first + 1, first) : ushort(0));
                QCOMPARE(bytes.toUInt32(pos), fits(4) ? putIn32(first + 3, first + 2, first + 1, first) : 0u);
                QCOMPARE(bytes.toUInt64(pos) != 0, fits(8));
                QCOMPARE(bytes.toDouble(pos) != 0.0, fits(8));
                QCOMPARE(bytes.toDoubleStruct(pos) != 0.0, fits(8));
                QCOMPARE(bytes.toDateTime(pos).isValid(), fits(4));
                QCOMPARE(bytes.toBit(pos, 0), fits(1) && (first & 1));
                QCOMPARE(bytes.getReg(pos), bytes.toRegs().value(pos));
                QCOMPARE(bytes.getArchLabel(pos), bytes.toArchLabels().value(pos));
                // The encoders, signed or not, give back the field a reader took.
                if (fits(2)) {
                    QCOMPARE(ModbusBytes::fromInt16(bytes.toInt16(pos)), bytes.mid(pos, 2));
                    QCOMPARE(ModbusBytes::fromUInt16(bytes.toReg(pos)), bytes.mid(pos, 2));
                }
                if (fits(4)) {
                    QCOMPARE(ModbusBytes::fromInt32(bytes.toInt32(pos)), bytes.mid(pos, 4));
                    QCOMPARE(ModbusBytes::fromUInt32(bytes.toUInt32(pos)), bytes.mid(pos, 4));
                }
                if (fits(8)) {
                    QCOMPARE(ModbusBytes::fromInt64(bytes.toInt64(pos)), bytes.mid(pos, 8));
                    QCOMPARE(ModbusBytes::fromUInt64(bytes.toUInt64(pos)), bytes.mid(pos, 8));
                }
                for (int len : std::as_const(around))
                    checkSlices(bytes, pos, len);
            }
        }
        QCOMPARE(pattern.toBit(0, 8), false); // bit 8 is outside the byte
    }

    void takeFirst()
    {
        ModbusBytes bytes = hex("01 02 03 04");
        const ModbusBytes shared(bytes);
        QCOMPARE(hex(bytes.takeFirst(2)), QByteArray("01 02"));
        QCOMPARE(hex(bytes), QByteArray("03 04"));
        QTest::ignoreMessage(QtCriticalMsg, "takeFirst - invalid argument");
        QCOMPARE(hex(bytes.takeFirst(-1)), QByteArray());
        QCOMPARE(hex(bytes.takeFirst(7)), QByteArray("03 04"));
        QVERIFY(bytes.isEmpty());
        QCOMPARE(hex(shared), QByteArray("01 02 03 04")); // a copy is never touched
    }

    void splitting_data()
    {
        QTest::addColumn<ModbusBytesArray>("blocks");
        QTest::addColumn<QList<int>>("sizes");

        const ModbusBytes ten = hex("00 01 02 03 04 05 06 07 08 09");
        QTest::newRow("4 of 10") << ten.splitBySize(4) << QList<int>{ 4, 4, 2 };
        QTest::newRow("limited") << ten.splitBySize(4, 2) << QList<int>{ 4, 4 };
        QTest::newRow("max count 0") << ten.splitBySize(4, 0) << QList<int>{};
        QTest::newRow("chunk 0 is whole") << ten.splitBySize(0) << QList<int>{ 10 };
        QTest::newRow("huge chunk") << ten.splitBySize(std::numeric_limits<int>::max()) << QList<int>{ 10 };
        QTest::newRow("nothing to split") << ModbusBytes().splitBySize(4) << QList<int>{};
        QTest::newRow("3 parts") << ten.splitByCount(3) << QList<int>{ 3, 3, 3, 1 };
        QTest::newRow("more parts than bytes") << ten.splitByCount(20) << QList<int>{ 10 };
        QTest::newRow("negative parts") << ten.splitByCount(-2) << QList<int>{};
    }

    void splitting()
    {
        QFETCH(ModbusBytesArray, blocks);
        QFETCH(QList<int>, sizes);

        QCOMPARE(blockSizes(blocks), sizes);
        // The blocks are the front of the buffer, in order.
        QVERIFY(hex("00 01 02 03 04 05 06 07 08 09").startsWith(blocks.toModbusBytes()));
    }

    void utf8PrefixKeepsWholeCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxSize");
        QTest::addColumn<QByteArray>("expected");

        // A two-byte character cut by the size is the UTF-8 string item's case.
        const QString emoji = QString::fromUtf8("a\xf0\x9f\x99\x82");
        QTest::newRow("surrogate pair not split") << emoji << 4 << QByteArray("61");
        QTest::newRow("surrogate pair fits") << emoji << 5 << QByteArray("61 f0 9f 99 82");
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

    void toStringAnsi_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("len");
        QTest::addColumn<bool>("perReg");
        QTest::addColumn<QString>("expected");

        // Per-register text round-trips in the ANSI string item.
        QTest::newRow("zero kept") << QByteArray("A\0B", 3) << 0 << -1 << false << QString::fromLatin1("A\0B", 3);
        QTest::newRow("past end is null") << QByteArray("ABC") << 2 << 2 << false << QString();
        QTest::newRow("per reg odd size") << QByteArray("\0A\0", 3) << 0 << -1 << true << QString("A");
        QTest::newRow("per reg limited") << QByteArray("\0A\0B\0C", 6) << 0 << 2 << true << QString("AB");
        QTest::newRow("per reg from second reg") << QByteArray("\0A\0B", 4) << 2 << -1 << true << QString("B");
        QTest::newRow("latin1") << QByteArray("\xe9") << 0 << -1 << false << QString(QChar(0xE9));
    }

    void toStringAnsi()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, pos);
        QFETCH(int, len);
        QFETCH(bool, perReg);
        QFETCH(QString, expected);

        const QString text = ModbusBytes(bytes).toStringAnsi(pos, len, perReg);
        QCOMPARE(text, expected);
        QCOMPARE(text.isNull(), expected.isNull());
        if (!perReg && !text.isNull() && pos == 0 && len == -1)
            QCOMPARE(ModbusBytes::fromStringAnsi(text), ModbusBytes(bytes));
    }

    void bits()
    {
        // Bit n is bit n % 8 of byte n / 8; counted from the last byte, it is in the mirrored byte.
        for (int bit = -1; bit <= 16; ++bit) {
            ModbusBytes bytes = hex("00 00");
            bytes.setBit(bit, true);
            const bool inside = bit >= 0 && bit < 16;
            QCOMPARE(bytes.toUInt16(0), inside ? ushort(1 << ((bit + 8) % 16)) : ushort(0));
            QCOMPARE(bytes.getBit(bit), inside);
            QCOMPARE(bytes.getBit(bit < 0 ? bit : (bit + 8) % 16, true), inside);
            bytes.setBit(bit, false);
            QCOMPARE(hex(bytes), QByteArray("00 00"));
        }
    }

    void editing_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("align at front") << QByteArray("010203") << Edit([](ModbusBytes &b) { b.alignToWord(false); })
                                        << QByteArray("00 01 02 03");
        QTest::newRow("aligned at end") << QByteArray("01") << Edit([](ModbusBytes &b) { b = b.alignedToWord(); })
                                        << QByteArray("01 00");
        QTest::newRow("reverse") << QByteArray("010203") << Edit([](ModbusBytes &b) { b.reverse(); })
                                 << QByteArray("03 02 01");
        QTest::newRow("remove last") << QByteArray("010203") << Edit([](ModbusBytes &b) { b.removeLast(2); })
                                     << QByteArray("01");
        QTest::newRow("remove more than all") << QByteArray("010203")
                                              << Edit([](ModbusBytes &b) { b.removeLast(9); }) << QByteArray();
        QTest::newRow("grow at end") << QByteArray("0102") << Edit([](ModbusBytes &b) { b.resize(4, true); })
                                     << QByteArray("01 02 00 00");
        QTest::newRow("grown at front") << QByteArray("0102") << Edit([](ModbusBytes &b) { b = b.resized(3, false); })
                                        << QByteArray("00 01 02");
        QTest::newRow("cut at front") << QByteArray("010203") << Edit([](ModbusBytes &b) { b.resize(1, false); })
                                      << QByteArray("03");
        QTest::newRow("resize negative") << QByteArray("0102") << Edit([](ModbusBytes &b) { b.resize(-4, true); })
                                         << QByteArray();
        // A buffer is no C string: its zero bytes go along.
        const ModbusBytes zeros = ModbusBytes::fromHex("00 1f 00");
        QTest::newRow("prepend zero bytes") << QByteArray("01") << Edit([=](ModbusBytes &b) { b.prepend(zeros); })
                                            << QByteArray("00 1f 00 01");
        QTest::newRow("append zero bytes") << QByteArray("01") << Edit([=](ModbusBytes &b) { b.append(zeros); })
                                           << QByteArray("01 00 1f 00");
        QTest::newRow("subscript write") << QByteArray("0102") << Edit([](ModbusBytes &b) { b[1] = uchar(0xFE); })
                                         << QByteArray("01 fe");

        const auto set = [](const char *src, int pos, int len) {
            return Edit([=](ModbusBytes &b) { b.setBytes(hex(src), pos, len); });
        };
        const QByteArray four("01020304");
        QTest::newRow("set inside") << four << set("aa bb", 1, -1) << QByteArray("01 aa bb 04");
        QTest::newRow("set fewer than src") << four << set("aa bb cc", 0, 2) << QByteArray("aa bb 03 04");
        QTest::newRow("set more than src grows") << four << set("aa", 3, 3) << QByteArray("01 02 03 aa 00 00");
        QTest::newRow("set far away") << four << set("aa", 6, -1) << QByteArray("01 02 03 04 00 00 aa");
        QTest::newRow("set at negative pos ignored") << four << set("aa", -1, -1) << QByteArray("01 02 03 04");
        QTest::newRow("set of huge len ignored") << four << set("aa", 1, std::numeric_limits<int>::max())
                                                 << QByteArray("01 02 03 04");
        // Copying a buffer into itself must not read freed or moved memory.
        QTest::newRow("set from itself") << four << Edit([](ModbusBytes &b) { b.setBytes(b, 2, -1); })
                                         << QByteArray("01 02 01 02 03 04");
    }

    void editing()
    {
        QFETCH(QByteArray, before);
        QFETCH(Edit, edit);
        QFETCH(QByteArray, after);

        ModbusBytes bytes = ModbusBytes::fromHex(before);
        const ModbusBytes original(bytes);
        edit(bytes);
        QCOMPARE(hex(bytes), after);
        QCOMPARE(hex(original), hex(ModbusBytes::fromHex(before))); // shared copy detached
    }

    void timeLabelListRoundTrips()
    {
        // One label, valid or not, is the date-time item's codec and tested with it.
        const QDateTime label(QDate(2024, 2, 29), QTime(13, 45, 10));
        const QList<QDateTime> labels = { label, label.addDays(1) };
        QCOMPARE(ModbusBytes::fromArchTimeLabels(labels).toArchTimeLabels(), labels);
    }

    void binaryAndZero()
    {
        // Leading zero bytes show one digit each; the first set byte drops its leading zeros.
        QCOMPARE(ModbusBytes().toBinary(), QString());
        QVERIFY(ModbusBytes().emptyOrZero());
        QCOMPARE(hex("00 00").toBinary(), QString("00"));
        QVERIFY(hex("00 00").emptyOrZero());
        QCOMPARE(hex("05 ff").toBinary(), QString("10111111111"));
        QCOMPARE(hex("00 00 80").toBinary(), QString("0010000000"));
        QVERIFY(!hex("00 00 80").emptyOrZero());
    }

    void bytesArrayOperations()
    {
        ModbusBytesArray blocks({ hex("01 02 03"), ModbusBytes(), hex("04") });
        QCOMPARE(blocks.totalSize(), 4);

        const ModbusBytesArray shrunk = blocks.shrinkedToByte();
        QCOMPARE(shrunk.size(), 3);
        QCOMPARE(hex(shrunk.toModbusBytes()), QByteArray("03 00 04"));

        const ModbusBytesArray aligned = blocks.alignedToWord(false);
        QCOMPARE(blockSizes(aligned), (QList<int>{ 4, 0, 2 }));
        QCOMPARE(hex(aligned.toModbusBytes()), QByteArray("00 01 02 03 00 04"));

        blocks.prependBytesArray({ hex("aa"), hex("bb") });
        QCOMPARE(hex(blocks.toModbusBytes()), QByteArray("aa bb 01 02 03 04"));
        QCOMPARE(blockSizes(blocks), (QList<int>{ 1, 1, 3, 0, 1 }));

        // A buffer equals only an array of exactly one block with its bytes.
        const ModbusBytes bytes = hex("01 02");
        QVERIFY(bytes == ModbusBytesArray({ hex("01 02") }));
        QVERIFY(bytes != ModbusBytesArray({ hex("01") }));
        QVERIFY(bytes != ModbusBytesArray({ hex("01 02"), hex("01 02") }));
        QVERIFY(bytes != ModbusBytesArray());
        QVERIFY(ModbusBytes() == ModbusBytesArray({ ModbusBytes() }));
    }

    void crcGoesLowByteFirst()
    {
        // The standard check value anchors the reference that every length is compared with below.
        QCOMPARE(swapped(referenceCrc("123456789")), quint16(0x374B));
        const ModbusBytes request = hex("01 03 00 00 00 01");
        // A frame needs one byte before its CRC, and the CRC's low-order byte goes first.
        QVERIFY((request + hex("84 0a")).checkCrc16());
        QVERIFY(!(request + hex("0a 84")).checkCrc16());
        QVERIFY(!(request + hex("00 84 0a")).checkCrc16());
        QVERIFY(!hex("ff ff").checkCrc16());
        QVERIFY(hex("00 bf 40").checkCrc16());
    }

    void crcOfEveryLengthMatchesReference()
    {
        // Every tail length of the sliced loop and every start alignment, through both overloads.
        QRandomGenerator random(7);
        QByteArray data(80, Qt::Uninitialized);
        for (char &c : data)
            c = char(random.bounded(256));
        const ModbusBytes bytes(data);
        for (int from = 0; from < 8; ++from) {
            for (int len = 0; len + from <= data.size(); ++len) {
                const QByteArray part = data.mid(from, len);
                QCOMPARE(qChecksumModbus(data.constData() + from, uint(len)), swapped(referenceCrc(part)));
                // A range of length 0 runs to the end.
                QCOMPARE(qChecksumModbus(bytes, uint(len), uint(from)),
                         swapped(referenceCrc(len ? part : data.mid(from))));
            }
        }
        // A range past the end is cut to it.
        QCOMPARE(qChecksumModbus(bytes, 100, 75), swapped(referenceCrc(data.mid(75))));
        QCOMPARE(qChecksumModbus(bytes, 2, 80), swapped(referenceCrc(QByteArray())));
    }
};

QTEST_APPLESS_MAIN(tst_ModbusBytes)

#include "tst_modbusbytes.moc"
