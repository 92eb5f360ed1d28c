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

/// \file
/// The byte buffer shared by every layer, and the free functions that pack values into bytes and
/// take them apart.

/// The bits of value as an unsigned byte.
TAVREXBUS1_EXPORT unsigned char putIn8(signed char value);
/// The bits of value as a signed byte.
TAVREXBUS1_EXPORT signed char extractInt8(unsigned char value);
/// The bits of value as an unsigned 16-bit number.
TAVREXBUS1_EXPORT unsigned short putIn16(short value);
/// The bits of value as a signed 16-bit number.
TAVREXBUS1_EXPORT short extractInt16(unsigned short value);
/// The bits of value as an unsigned 32-bit number.
TAVREXBUS1_EXPORT unsigned int putIn32(int value);
/// The bits of value as a signed 32-bit number.
TAVREXBUS1_EXPORT int extractInt32(unsigned int value);
/// The bits of an IEEE single as an unsigned 32-bit number.
TAVREXBUS1_EXPORT unsigned int putIn32(float value);
/// The IEEE single whose bits value holds.
TAVREXBUS1_EXPORT float extractFloat(unsigned int value);
/// The bits of value as an unsigned 64-bit number.
TAVREXBUS1_EXPORT unsigned long long putIn64(const long long &value);
/// The bits of value as a signed 64-bit number.
TAVREXBUS1_EXPORT long long extractInt64(const unsigned long long &value);
/// The bits of an IEEE double as an unsigned 64-bit number.
TAVREXBUS1_EXPORT unsigned long long putIn64(const double &value);
/// The IEEE double whose bits value holds.
TAVREXBUS1_EXPORT double extractDouble(const unsigned long long &value);

/// Two bytes joined; b0 is the least significant.
TAVREXBUS1_EXPORT unsigned short putIn16(uchar b0, uchar b1);
/// Four bytes joined; b0 is the least significant.
TAVREXBUS1_EXPORT unsigned int putIn32(uchar b0, uchar b1, uchar b2, uchar b3);
/// Eight bytes joined; b0 is the least significant.
TAVREXBUS1_EXPORT unsigned long long putIn64(uchar b0, uchar b1, uchar b2, uchar b3,
                                             uchar b4, uchar b5, uchar b6, uchar b7);

/// value split into bytes; b0 receives the least significant.
TAVREXBUS1_EXPORT void extractBytes(unsigned short value, uchar &b0, uchar &b1);
/// value split into bytes; b0 receives the least significant.
TAVREXBUS1_EXPORT void extractBytes(unsigned int value, uchar &b0, uchar &b1, uchar &b2, uchar &b3);
/// value split into bytes; b0 receives the least significant.
TAVREXBUS1_EXPORT void extractBytes(unsigned long long value, uchar &b0, uchar &b1, uchar &b2,
                                    uchar &b3, uchar &b4, uchar &b5, uchar &b6, uchar &b7);

class ModbusBytes;

/// Modbus RTU CRC-16 with its two bytes swapped: append it with appendUInt16()
/// and the low-order CRC byte goes first on the wire.
TAVREXBUS1_EXPORT unsigned short qChecksumModbus(const char *data, unsigned int len);
/// The checksum of len bytes of bytes from from; len 0 (or past the end) runs to the end.
TAVREXBUS1_EXPORT unsigned short qChecksumModbus(const ModbusBytes &bytes, unsigned int len = 0,
                                                 unsigned int from = 0);

/// The library's byte buffer. Multi-byte values are big-endian and a value
/// spread over 16-bit registers keeps its high word first. Readers never fail:
/// an out-of-range position yields 0, false, an empty list or a null date-time.
class TAVREXBUS1_EXPORT ModbusBytes : public QByteArray
{
public:
    /// An empty buffer.
    ModbusBytes() = default;
    /// Copies other.
    ModbusBytes(const ModbusBytes &other) = default;
    /// Takes over other.
    ModbusBytes(ModbusBytes &&other) noexcept = default;
    /// The bytes of other.
    ModbusBytes(const QByteArray &other);
    /// One byte.
    explicit ModbusBytes(char c);
    /// Two bytes: value, big-endian.
    explicit ModbusBytes(unsigned short value);
    /// Copies other.
    ModbusBytes &operator=(const ModbusBytes &other) = default;
    /// Takes over other.
    ModbusBytes &operator=(ModbusBytes &&other) noexcept = default;

    /// One byte; with asReg a whole register with the byte in its low half.
    static ModbusBytes fromUInt8(uchar value, bool asReg = false);
    /// A signed byte; with asReg a whole register with the byte in its low half.
    static ModbusBytes fromInt8(signed char value, bool asReg = false);
    /// 1 or 0 in one byte; with asReg a whole register.
    static ModbusBytes fromBit(bool value, bool asReg = false);
    /// The same as fromUInt8().
    static ModbusBytes fromByte(uchar value, bool asReg = false);
    /// Two bytes, big-endian.
    static ModbusBytes fromUInt16(ushort value);
    /// Two bytes, big-endian two's complement.
    static ModbusBytes fromInt16(short value);
    /// Four bytes, big-endian (high register first).
    static ModbusBytes fromUInt32(uint value);
    /// Four bytes, big-endian two's complement.
    static ModbusBytes fromInt32(int value);
    /// An IEEE single in four bytes, high register first.
    static ModbusBytes fromFloat(const float &value);
    /// Eight bytes, big-endian.
    static ModbusBytes fromUInt64(const unsigned long long &value);
    /// Eight bytes, big-endian two's complement.
    static ModbusBytes fromInt64(const long long &value);
    /// An IEEE double in eight bytes, high register first.
    static ModbusBytes fromDouble(const double &value);
    /// The device's 8-byte double: a 32-bit integral part, then the fractional part as a float.
    static ModbusBytes fromDoubleStruct(const double &value);
    /// A 32-bit archive time label (see TavrexBus) for value.
    static ModbusBytes fromDateTime(const QDateTime &value);
    /// Archive labels, four bytes each, big-endian.
    static ModbusBytes fromArchLabels(const QList<uint> &labels);
    /// Archive time labels, four bytes each.
    static ModbusBytes fromArchTimeLabels(const QList<QDateTime> &labels);
    /// Latin-1 text, one byte a character; with asRegs one character in the low byte of each register.
    static ModbusBytes fromStringAnsi(const QString &text, bool asRegs = false);
    /// bytes as they are; with asRegs one byte in the low half of each register.
    static ModbusBytes fromBytes(const QByteArray &bytes, bool asRegs = false);
    /// UTF-8 text.
    static ModbusBytes fromStringUtf8(const QString &text);
    /// UTF-8 text cut to at most maxSize bytes, never inside a character.
    static ModbusBytes fromStringUtf8(const QString &text, int maxSize);
    /// Hexadecimal text as bytes; characters that are not hex digits are skipped.
    static ModbusBytes fromHex(const QByteArray &hex);
    /// Hexadecimal text as an item shows it (spaces allowed) as bytes.
    static ModbusBytes fromModbusString(const QString &text);
    /// size bytes of fill.
    static ModbusBytes fromSize(int size, uchar fill = 0);
    /// count registers, each holding value.
    static ModbusBytes fromRegsCount(int count, ushort value = 0);
    /// len bytes of src from pos (to the end with -1), clipped to src.
    static ModbusBytes fromOther(const ModbusBytes &src, int pos, int len = -1);
    /// The blocks joined in order.
    static ModbusBytes fromList(const QList<ModbusBytes> &blocks);
    /// The blocks of an array joined in order.
    static ModbusBytes fromModbusBytesArray(const ModbusBytesArray &blocks);

    /// Appends one byte.
    ModbusBytes &append(uchar byte);
    /// Appends a NUL-terminated string, without the NUL.
    ModbusBytes &append(char *text);
    /// Appends a NUL-terminated string, without the NUL.
    ModbusBytes &append(const char *text);
    /// Appends len bytes of data; nothing for null data or len <= 0.
    ModbusBytes &append(const char *data, int len);
    /// Appends bytes.
    ModbusBytes &append(const QByteArray &bytes);
    /// Appends len bytes of src from pos (to the end with -1), clipped to src.
    ModbusBytes &append(const ModbusBytes &src, int pos, int len = -1);
    /// Puts one byte in front.
    ModbusBytes &prepend(uchar byte);
    /// Puts bytes in front, zero bytes included.
    ModbusBytes &prepend(const QByteArray &bytes);
    /// Puts a NUL-terminated string in front, without the NUL.
    ModbusBytes &prepend(const char *text);
    /// Puts len bytes of src from pos in front (to its end with -1).
    ModbusBytes &prepend(const ModbusBytes &src, int pos, int len = -1);

    /// Appends two bytes, big-endian.
    ModbusBytes &appendUInt16(ushort value);
    /// Appends one register; the same as appendUInt16().
    ModbusBytes &appendReg(ushort value);
    /// Appends four bytes, big-endian.
    ModbusBytes &appendUInt32(uint value);
    /// Appends an IEEE single, high register first.
    ModbusBytes &appendFloat(float value);
    /// Appends a 32-bit archive time label.
    ModbusBytes &appendDateTime(const QDateTime &value);
    /// Overwrites the two bytes at pos with value, big-endian; nothing unless 0 <= pos <= size - 2.
    void setUInt16(int pos, ushort value);

    /// Appends bytes.
    ModbusBytes &operator+=(const ModbusBytes &bytes);
    /// Appends one byte.
    ModbusBytes &operator+=(uchar byte);
    /// Appends bytes.
    ModbusBytes &operator<<(const ModbusBytes &bytes);
    /// Appends one byte.
    ModbusBytes &operator<<(uchar byte);
    /// Appends two bytes, big-endian.
    ModbusBytes &operator<<(ushort value);
    /// Appends four bytes, big-endian.
    ModbusBytes &operator<<(uint value);

    /// The byte at i, unsigned; the caller keeps i in range.
    uchar operator[](int i) const;
    /// The byte at i, unsigned; the caller keeps i in range.
    uchar operator[](uint i) const;
    /// The byte at i, unsigned; the caller keeps i in range.
    uchar operator[](qsizetype i) const;
    /// The byte at i, writable; the caller keeps i in range.
    uchar &operator[](int i);
    /// The byte at i, writable; the caller keeps i in range.
    uchar &operator[](uint i);
    /// The byte at i, writable; the caller keeps i in range.
    uchar &operator[](qsizetype i);

    /// Equal only to an array holding exactly one block with these bytes.
    bool operator==(const ModbusBytesArray &blocks) const;
    /// The opposite of operator==().
    bool operator!=(const ModbusBytesArray &blocks) const;

    /// Drops the last n bytes (all of them when n exceeds the size).
    void removeLast(int n);
    /// Removes the first n bytes and returns them.
    ModbusBytes takeFirst(int n);
    /// Pads with one zero byte to an even size, at the end or (atEnd false) at the front.
    void alignToWord(bool atEnd = true);
    /// A copy padded like alignToWord().
    ModbusBytes alignedToWord(bool atEnd = true) const;
    /// Reverses the byte order in place.
    void reverse();
    using QByteArray::resize;
    /// Grows with zero bytes or truncates, at the end or at the front.
    void resize(int size, bool atEnd);
    /// A copy resized like resize(int, bool).
    ModbusBytes resized(int size, bool atEnd = true) const;
    /// Overwrites bytes from pos with len bytes of src (all with -1), growing the buffer as needed.
    void setBytes(const ModbusBytes &src, int pos, int len = -1);
    /// Sets bit n, counting from bit 0 of byte 0; nothing when n is out of range.
    void setBit(int n, bool value);

    /// The caller guarantees 0 <= i < size().
    uchar at(int i) const;
    using QByteArray::first;
    using QByteArray::last;
    /// The first byte; the caller guarantees the buffer is not empty.
    uchar first() const;
    /// The last byte; the caller guarantees the buffer is not empty.
    uchar last() const;

    /// The byte at pos; with asReg the low byte of the register at pos.
    uchar toUInt8(int pos = 0, bool asReg = false) const;
    /// The signed byte at pos; with asReg the low byte of the register at pos.
    signed char toInt8(int pos = 0, bool asReg = false) const;
    /// Bit bit (0 least significant) of the byte at pos; with asReg of the register's low byte.
    bool toBit(int pos, int bit, bool asReg = false) const;
    /// reversed counts bytes from the end of the buffer.
    bool getBit(int n, bool reversed = false) const;
    /// Two bytes at pos, big-endian.
    ushort toUInt16(int pos = 0) const;
    /// The register at byte position pos; the same as toUInt16().
    ushort toReg(int pos = 0) const;
    /// Two bytes at pos as a signed value.
    short toInt16(int pos = 0) const;
    /// Register i (at byte 2 * i).
    ushort getReg(int i) const;
    /// Four bytes at pos, big-endian.
    uint toUInt32(int pos = 0) const;
    /// Four bytes at pos as a signed value.
    int toInt32(int pos = 0) const;
    /// An IEEE single at pos, high register first.
    float toFloat(int pos = 0) const;
    /// Eight bytes at pos, big-endian.
    unsigned long long toUInt64(int pos = 0) const;
    /// Eight bytes at pos as a signed value.
    long long toInt64(int pos = 0) const;
    /// An IEEE double at pos, high register first.
    double toDouble(int pos = 0) const;
    /// The device's 8-byte double at pos (see fromDoubleStruct()).
    double toDoubleStruct(int pos = 0) const;
    /// The 32-bit archive time label at pos as a date-time.
    QDateTime toDateTime(int pos = 0) const;

    /// Whole registers held (size / 2).
    int regsCount() const;
    /// Whole 4-byte archive labels held.
    int archLabelsCount() const;
    /// Archive label i (at byte 4 * i).
    uint getArchLabel(int i) const;
    /// count registers from pos (all that fit with -1).
    QList<unsigned short> toRegs(int pos = 0, int count = -1) const;
    /// count archive labels from pos (all that fit with -1).
    QList<unsigned int> toArchLabels(int pos = 0, int count = -1) const;
    /// count archive time labels from pos as date-times (all that fit with -1).
    QList<QDateTime> toArchTimeLabels(int pos = 0, int count = -1) const;

    /// With oneCharPerReg the characters are the low bytes of the registers
    /// starting at pos.
    QString toStringAnsi(int pos = 0, int len = -1, bool oneCharPerReg = false) const;
    /// len bytes from pos (to the end with -1) decoded as UTF-8, up to the first NUL.
    QString toStringUtf8(int pos = 0, int len = -1) const;
    /// Each byte in binary digits, without leading zeros, one after the other.
    QString toBinary() const;

    /// True when the buffer is empty or all its bytes are zero.
    bool emptyOrZero() const;
    /// True when the last two bytes are the Modbus RTU CRC of the bytes before them.
    bool checkCrc16() const;
    /// Blocks of chunk bytes (the last may be shorter), at most maxCount of them (-1: all).
    ModbusBytesArray splitBySize(int chunk, int maxCount = -1) const;
    /// Blocks of size() / n bytes, the last one holding what remains; none for n <= 0.
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

/// a followed by b.
TAVREXBUS1_EXPORT ModbusBytes operator+(const ModbusBytes &a, const ModbusBytes &b);
/// a followed by b.
TAVREXBUS1_EXPORT ModbusBytes operator+(const ModbusBytes &a, const QByteArray &b);
/// a followed by b.
TAVREXBUS1_EXPORT ModbusBytes operator+(const QByteArray &a, const ModbusBytes &b);

Q_DECLARE_METATYPE(ModbusBytes)

#endif // MODBUSBYTES_H
