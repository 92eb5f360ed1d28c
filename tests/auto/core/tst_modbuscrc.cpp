#include <TavrexBus1/modbusbytes.h>

#include <QtCore/QRandomGenerator>
#include <QtTest/QtTest>

namespace {

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

// The library keeps the CRC with its bytes swapped, so that appending it
// big-endian puts the low-order byte first on the wire.
quint16 swapped(quint16 crc)
{
    return quint16((crc << 8) | (crc >> 8));
}

} // namespace

class tst_ModbusCrc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void knownVectors_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("expected");

        QTest::newRow("empty") << QByteArray() << 0xFFFF;
        QTest::newRow("one byte") << QByteArray(1, '\0') << 0xBF40;
        QTest::newRow("digits 1 to 9") << QByteArray("123456789") << 0x374B;
        QTest::newRow("read 1 holding register") << QByteArray::fromHex("010300000001") << 0x840A;
    }

    void knownVectors()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, expected);

        QCOMPARE(int(qChecksumModbus(data.constData(), uint(data.size()))), expected);
        QCOMPARE(int(qChecksumModbus(ModbusBytes(data))), expected);
        QCOMPARE(int(swapped(referenceCrc(data))), expected);

        // A frame needs one byte before its CRC, and the CRC's low-order byte goes first.
        ModbusBytes frame(data);
        frame.appendUInt16(quint16(expected));
        QCOMPARE(frame.checkCrc16(), !data.isEmpty());
        frame = ModbusBytes(data) + ModbusBytes::fromUInt16(swapped(quint16(expected)));
        QVERIFY(!frame.checkCrc16());
        frame = ModbusBytes(data + "x");
        frame.appendUInt16(quint16(expected));
        QVERIFY(!frame.checkCrc16());
    }

    void everyLengthMatchesReference()
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

QTEST_APPLESS_MAIN(tst_ModbusCrc)

#include "tst_modbuscrc.moc"
