#ifndef MODBUSBYTES_H
#define MODBUSBYTES_H

#include "tavrexbus1global.h"

#include <QtCore/QByteArray>
#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QtEndian>

class ModbusBytesArray;

// Bit reinterpretation between signed, unsigned and floating types.
TAVREXBUS1_EXPORT unsigned char putIn8(signed char value);
TAVREXBUS1_EXPORT signed char extractInt8(unsigned char value);
TAVREXBUS1_EXPORT unsigned short putIn16(short value);
TAVREXBUS1_EXPORT short extractInt16(unsigned short value);
TAVREXBUS1_EXPORT unsigned int putIn32(int value);
TAVREXBUS1_EXPORT int extractInt32(unsigned int value);
TAVREXBUS1_EXPORT unsigned int putIn32(float value);
TAVREXBUS1_EXPORT float extractFloat(unsigned int value);
TAVREXBUS1_EXPORT unsigned long long putIn64(const long long &value);
TAVREXBUS1_EXPORT long long extractInt64(const unsigned long long &value);
TAVREXBUS1_EXPORT unsigned long long putIn64(const double &value);
TAVREXBUS1_EXPORT double extractDouble(const unsigned long long &value);

// Joining bytes: b0 is the least significant byte.
TAVREXBUS1_EXPORT unsigned short putIn16(uchar b0, uchar b1);
TAVREXBUS1_EXPORT unsigned int putIn32(uchar b0, uchar b1, uchar b2, uchar b3);
TAVREXBUS1_EXPORT unsigned long long putIn64(uchar b0, uchar b1, uchar b2, uchar b3,
                                             uchar b4, uchar b5, uchar b6, uchar b7);

// Splitting values: b0 receives the least significant byte.
TAVREXBUS1_EXPORT void extractBytes(unsigned short value, uchar &b0, uchar &b1);
TAVREXBUS1_EXPORT void extractBytes(unsigned int value, uchar &b0, uchar &b1, uchar &b2, uchar &b3);
TAVREXBUS1_EXPORT void extractBytes(unsigned long long value, uchar &b0, uchar &b1, uchar &b2,
                                    uchar &b3, uchar &b4, uchar &b5, uchar &b6, uchar &b7);

class ModbusBytes;

// Modbus RTU CRC-16 with its two bytes swapped: append it with appendUInt16()
// and the low-order CRC byte goes first on the wire.
TAVREXBUS1_EXPORT unsigned short qChecksumModbus(const char *data, unsigned int len);
TAVREXBUS1_EXPORT unsigned short qChecksumModbus(const ModbusBytes &bytes, unsigned int len = 0,
                                                 unsigned int from = 0);

// The library's byte buffer. Multi-byte values are big-endian and a value
// spread over 16-bit registers keeps its high word first. Readers never fail:
// an out-of-range position yields 0, false, an empty list or a null date-time.
class TAVREXBUS1_EXPORT ModbusBytes : public QByteArray
{
public:
    ModbusBytes() = default;
    ModbusBytes(const ModbusBytes &other) = default;
    ModbusBytes(ModbusBytes &&other) noexcept = default;
    ModbusBytes(const QByteArray &other);
    explicit ModbusBytes(char c);
    explicit ModbusBytes(unsigned short value);
    ModbusBytes &operator=(const ModbusBytes &other) = default;
    ModbusBytes &operator=(ModbusBytes &&other) noexcept = default;

    static ModbusBytes fromUInt8(uchar value, bool asReg = false);
    static ModbusBytes fromInt8(signed char value, bool asReg = false);
    static ModbusBytes fromBit(bool value, bool asReg = false);
    static ModbusBytes fromByte(uchar value, bool asReg = false);
    static ModbusBytes fromUInt16(ushort value);
    static ModbusBytes fromInt16(short value);
    static ModbusBytes fromUInt32(uint value);
    static ModbusBytes fromInt32(int value);
    static ModbusBytes fromFloat(const float &value);
    static ModbusBytes fromUInt64(const unsigned long long &value);
    static ModbusBytes fromInt64(const long long &value);
    static ModbusBytes fromDouble(const double &value);
    static ModbusBytes fromDoubleStruct(const double &value);
    static ModbusBytes fromDateTime(const QDateTime &value);
    static ModbusBytes fromArchLabels(const QList<uint> &labels);
    static ModbusBytes fromArchTimeLabels(const QList<QDateTime> &labels);
    static ModbusBytes fromStringAnsi(const QString &text, bool asRegs = false);
    static ModbusBytes fromBytes(const QByteArray &bytes, bool asRegs = false);
    static ModbusBytes fromStringUtf8(const QString &text);
    static ModbusBytes fromStringUtf8(const QString &text, int maxSize);
    static ModbusBytes fromHex(const QByteArray &hex);
    static ModbusBytes fromModbusString(const QString &text);
    static ModbusBytes fromSize(int size, uchar fill = 0);
    static ModbusBytes fromRegsCount(int count, ushort value = 0);
    static ModbusBytes fromOther(const ModbusBytes &src, int pos, int len = -1);
    static ModbusBytes fromList(const QList<ModbusBytes> &blocks);
    static ModbusBytes fromModbusBytesArray(const ModbusBytesArray &blocks);

    ModbusBytes &append(uchar byte);
    ModbusBytes &append(char *text);
    ModbusBytes &append(const char *text);
    ModbusBytes &append(const char *data, int len);
    ModbusBytes &append(const QByteArray &bytes);
    ModbusBytes &append(const ModbusBytes &src, int pos, int len = -1);
    ModbusBytes &prepend(uchar byte);
    ModbusBytes &prepend(const char *text);
    ModbusBytes &prepend(const ModbusBytes &src, int pos, int len = -1);

    ModbusBytes &appendUInt16(ushort value);
    ModbusBytes &appendReg(ushort value);
    ModbusBytes &appendUInt32(uint value);
    ModbusBytes &appendFloat(float value);
    ModbusBytes &appendDateTime(const QDateTime &value);
    /// Overwrites the two bytes at pos with value, big-endian; nothing unless 0 <= pos <= size - 2.
    void setUInt16(int pos, ushort value);

    ModbusBytes &operator+=(const ModbusBytes &bytes);
    ModbusBytes &operator+=(uchar byte);
    ModbusBytes &operator<<(const ModbusBytes &bytes);
    ModbusBytes &operator<<(uchar byte);
    ModbusBytes &operator<<(ushort value);
    ModbusBytes &operator<<(uint value);

    uchar operator[](int i) const;
    uchar operator[](uint i) const;
    uchar operator[](qsizetype i) const;
    uchar &operator[](int i);
    uchar &operator[](uint i);
    uchar &operator[](qsizetype i);

    // Equal only to an array holding exactly one block with these bytes.
    bool operator==(const ModbusBytesArray &blocks) const;
    bool operator!=(const ModbusBytesArray &blocks) const;

    void removeLast(int n);
    ModbusBytes takeFirst(int n);
    void alignToWord(bool atEnd = true);
    ModbusBytes alignedToWord(bool atEnd = true) const;
    void reverse();
    using QByteArray::resize;
    // Grows with zero bytes or truncates, at the end or at the front.
    void resize(int size, bool atEnd);
    ModbusBytes resized(int size, bool atEnd = true) const;
    void setBytes(const ModbusBytes &src, int pos, int len = -1);
    void setBit(int n, bool value);

    // The caller guarantees 0 <= i < size().
    uchar at(int i) const;
    using QByteArray::first;
    using QByteArray::last;
    uchar first() const;
    uchar last() const;

    uchar toUInt8(int pos = 0, bool asReg = false) const;
    signed char toInt8(int pos = 0, bool asReg = false) const;
    bool toBit(int pos, int bit, bool asReg = false) const;
    // reversed counts bytes from the end of the buffer.
    bool getBit(int n, bool reversed = false) const;
    ushort toUInt16(int pos = 0) const;
    ushort toReg(int pos = 0) const;
    short toInt16(int pos = 0) const;
    ushort getReg(int i) const;
    uint toUInt32(int pos = 0) const;
    int toInt32(int pos = 0) const;
    float toFloat(int pos = 0) const;
    unsigned long long toUInt64(int pos = 0) const;
    long long toInt64(int pos = 0) const;
    double toDouble(int pos = 0) const;
    double toDoubleStruct(int pos = 0) const;
    QDateTime toDateTime(int pos = 0) const;

    int regsCount() const;
    int archLabelsCount() const;
    uint getArchLabel(int i) const;
    QList<unsigned short> toRegs(int pos = 0, int count = -1) const;
    QList<unsigned int> toArchLabels(int pos = 0, int count = -1) const;
    QList<QDateTime> toArchTimeLabels(int pos = 0, int count = -1) const;

    // With oneCharPerReg the characters are the low bytes of the registers
    // starting at pos.
    QString toStringAnsi(int pos = 0, int len = -1, bool oneCharPerReg = false) const;
    QString toStringUtf8(int pos = 0, int len = -1) const;
    QString toBinary() const;

    bool emptyOrZero() const;
    bool checkCrc16() const;
    ModbusBytesArray splitBySize(int chunk, int maxCount = -1) const;
    ModbusBytesArray splitByCount(int n) const;

private:
    bool fits(int pos, int width) const;
    char *grow(int count);
};

// The codecs the protocol layer runs for every byte of a frame are inline.

inline ModbusBytes &ModbusBytes::append(uchar byte)
{
    QByteArray::append(char(byte));
    return *this;
}

inline ModbusBytes &ModbusBytes::append(const char *data, int len)
{
    if (data && len > 0)
        QByteArray::append(data, len);
    return *this;
}

inline ModbusBytes &ModbusBytes::append(const ModbusBytes &src, int pos, int len)
{
    const qsizetype size = src.size();
    if (pos < 0 || pos >= size)
        return *this;
    const qsizetype rest = size - pos;
    QByteArray::append(src.constData() + pos, len == -1 || len > rest ? rest : qMax(len, 0));
    return *this;
}

inline ModbusBytes &ModbusBytes::appendUInt16(ushort value)
{
    qToBigEndian(value, grow(2));
    return *this;
}

inline ModbusBytes &ModbusBytes::appendUInt32(uint value)
{
    qToBigEndian(value, grow(4));
    return *this;
}

inline void ModbusBytes::setUInt16(int pos, ushort value)
{
    if (fits(pos, 2))
        qToBigEndian(value, data() + pos);
}

inline uchar ModbusBytes::at(int i) const
{
    return uchar(constData()[i]);
}

inline uchar ModbusBytes::toUInt8(int pos, bool asReg) const
{
    const qint64 index = qint64(pos) + (asReg ? 1 : 0);
    return pos < 0 || index >= size() ? 0 : uchar(constData()[index]);
}

inline ushort ModbusBytes::toUInt16(int pos) const
{
    return fits(pos, 2) ? qFromBigEndian<quint16>(constData() + pos) : 0;
}

inline uint ModbusBytes::toUInt32(int pos) const
{
    return fits(pos, 4) ? qFromBigEndian<quint32>(constData() + pos) : 0;
}

inline bool ModbusBytes::fits(int pos, int width) const
{
    return pos >= 0 && qint64(pos) + width <= size();
}

// A general append of two or four bytes costs many times the copy itself, and answers are
// built a register at a time.
inline char *ModbusBytes::grow(int count)
{
    const qsizetype at = size();
    QByteArray::resize(at + count);
    return data() + at;
}

TAVREXBUS1_EXPORT ModbusBytes operator+(const ModbusBytes &a, const ModbusBytes &b);
TAVREXBUS1_EXPORT ModbusBytes operator+(const ModbusBytes &a, const QByteArray &b);
TAVREXBUS1_EXPORT ModbusBytes operator+(const QByteArray &a, const ModbusBytes &b);

Q_DECLARE_METATYPE(ModbusBytes)

#endif // MODBUSBYTES_H
