#include "modbusbytes.h"
#include "modbusbytesarray.h"
#include "tavrexbus.h"
#include "tavrexbuslogging_p.h"

#include <QtCore/QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

template <typename To, typename From>
To bitsOf(const From &value)
{
    static_assert(sizeof(To) == sizeof(From), "reinterpretation needs equal widths");
    To result;
    std::memcpy(&result, &value, sizeof(result));
    return result;
}

// Slicing-by-8 tables of the reflected Modbus CRC (polynomial 0xA001): row k
// advances the CRC over a byte followed by k zero bytes, so eight bytes cost
// eight independent look-ups instead of a dependent chain of eight.
using CrcTables = std::array<std::array<quint16, 256>, 8>;

constexpr CrcTables makeCrcTables()
{
    CrcTables tables{};
    for (int i = 0; i < 256; ++i) {
        quint16 crc = quint16(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
        tables[0][i] = crc;
    }
    for (int k = 1; k < 8; ++k) {
        for (int i = 0; i < 256; ++i) {
            const quint16 prev = tables[k - 1][i];
            tables[k][i] = quint16((prev >> 8) ^ tables[0][prev & 0xFF]);
        }
    }
    return tables;
}

constexpr CrcTables crcTables = makeCrcTables();

quint16 crc16(const uchar *data, size_t len)
{
    const auto &t = crcTables;
    quint16 crc = 0xFFFF;
    for (; len >= 8; len -= 8, data += 8) {
        const quint16 head = quint16(crc ^ qFromLittleEndian<quint16>(data));
        crc = t[7][head & 0xFF] ^ t[6][head >> 8] ^ t[5][data[2]] ^ t[4][data[3]]
                ^ t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; len > 0; --len, ++data)
        crc = quint16((crc >> 8) ^ t[0][(crc ^ *data) & 0xFF]);
    return crc;
}

template <typename T>
ModbusBytes bigEndianBytes(T value)
{
    ModbusBytes bytes;
    bytes.QByteArray::resize(sizeof(T));
    qToBigEndian(value, bytes.data());
    return bytes;
}

void registerMetaTypes()
{
    qRegisterMetaType<ModbusBytes>("ModbusBytes");
    qRegisterMetaType<ModbusBytesArray>("ModbusBytesArray");
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(registerMetaTypes)

unsigned char putIn8(signed char value) { return bitsOf<unsigned char>(value); }
signed char extractInt8(unsigned char value) { return bitsOf<signed char>(value); }
unsigned short putIn16(short value) { return bitsOf<unsigned short>(value); }
short extractInt16(unsigned short value) { return bitsOf<short>(value); }
unsigned int putIn32(int value) { return bitsOf<unsigned int>(value); }
int extractInt32(unsigned int value) { return bitsOf<int>(value); }
unsigned int putIn32(float value) { return bitsOf<unsigned int>(value); }
float extractFloat(unsigned int value) { return bitsOf<float>(value); }
unsigned long long putIn64(const long long &value) { return bitsOf<unsigned long long>(value); }
long long extractInt64(const unsigned long long &value) { return bitsOf<long long>(value); }
unsigned long long putIn64(const double &value) { return bitsOf<unsigned long long>(value); }
double extractDouble(const unsigned long long &value) { return bitsOf<double>(value); }

unsigned short putIn16(uchar b0, uchar b1)
{
    return static_cast<unsigned short>(b1 << 8 | b0);
}

unsigned int putIn32(uchar b0, uchar b1, uchar b2, uchar b3)
{
    return uint(b3) << 24 | uint(b2) << 16 | uint(b1) << 8 | uint(b0);
}

unsigned long long putIn64(uchar b0, uchar b1, uchar b2, uchar b3,
                           uchar b4, uchar b5, uchar b6, uchar b7)
{
    return (static_cast<unsigned long long>(putIn32(b4, b5, b6, b7)) << 32) | putIn32(b0, b1, b2, b3);
}

void extractBytes(unsigned short value, uchar &b0, uchar &b1)
{
    b0 = uchar(value);
    b1 = uchar(value >> 8);
}

void extractBytes(unsigned int value, uchar &b0, uchar &b1, uchar &b2, uchar &b3)
{
    extractBytes(static_cast<unsigned short>(value), b0, b1);
    extractBytes(static_cast<unsigned short>(value >> 16), b2, b3);
}

void extractBytes(unsigned long long value, uchar &b0, uchar &b1, uchar &b2, uchar &b3,
                  uchar &b4, uchar &b5, uchar &b6, uchar &b7)
{
    extractBytes(static_cast<unsigned int>(value), b0, b1, b2, b3);
    extractBytes(static_cast<unsigned int>(value >> 32), b4, b5, b6, b7);
}

unsigned short qChecksumModbus(const char *data, unsigned int len)
{
    if (!data)
        return 0xFFFF;
    // The library's convention puts the CRC's low-order byte in the high half.
    return qbswap(crc16(reinterpret_cast<const uchar *>(data), len));
}

unsigned short qChecksumModbus(const ModbusBytes &bytes, unsigned int len, unsigned int from)
{
    const auto size = static_cast<unsigned int>(bytes.size());
    if (from >= size)
        return qChecksumModbus(nullptr, 0);
    if (len == 0 || len > size - from)
        len = size - from;
    return qChecksumModbus(bytes.constData() + from, len);
}

ModbusBytes::ModbusBytes(const QByteArray &other)
    : QByteArray(other)
{
}

ModbusBytes::ModbusBytes(char c)
    : QByteArray(1, c)
{
}

ModbusBytes::ModbusBytes(unsigned short value)
    : QByteArray(bigEndianBytes(value))
{
}

ModbusBytes ModbusBytes::fromUInt8(uchar value, bool asReg)
{
    ModbusBytes bytes;
    if (asReg)
        bytes.QByteArray::append('\0');
    bytes.QByteArray::append(char(value));
    return bytes;
}

ModbusBytes ModbusBytes::fromInt8(signed char value, bool asReg)
{
    return fromUInt8(putIn8(value), asReg);
}

ModbusBytes ModbusBytes::fromBit(bool value, bool asReg)
{
    return fromUInt8(value ? 1 : 0, asReg);
}

ModbusBytes ModbusBytes::fromByte(uchar value, bool asReg)
{
    return fromUInt8(value, asReg);
}

ModbusBytes ModbusBytes::fromUInt16(ushort value) { return bigEndianBytes(value); }
ModbusBytes ModbusBytes::fromInt16(short value) { return bigEndianBytes(value); }
ModbusBytes ModbusBytes::fromUInt32(uint value) { return bigEndianBytes(value); }
ModbusBytes ModbusBytes::fromInt32(int value) { return bigEndianBytes(value); }
ModbusBytes ModbusBytes::fromFloat(const float &value) { return bigEndianBytes(putIn32(value)); }
ModbusBytes ModbusBytes::fromUInt64(const unsigned long long &value) { return bigEndianBytes(quint64(value)); }
ModbusBytes ModbusBytes::fromInt64(const long long &value) { return bigEndianBytes(qint64(value)); }
ModbusBytes ModbusBytes::fromDouble(const double &value) { return bigEndianBytes(quint64(putIn64(value))); }

ModbusBytes ModbusBytes::fromDoubleStruct(const double &value)
{
    constexpr double intMin = std::numeric_limits<int>::min();
    constexpr double intMax = std::numeric_limits<int>::max();
    if (std::isnan(value))
        return fromInt32(0) + fromFloat(std::numeric_limits<float>::quiet_NaN());
    double integral = 0.0;
    const double fraction = std::modf(value, &integral);
    float part = float(fraction);
    // A fraction that rounds to a whole one as a float belongs to the whole part, or the value would
    // change when written again.
    if (std::abs(part) >= 1.0f) {
        integral += part > 0 ? 1.0 : -1.0;
        part = std::copysign(0.0f, part);
    }
    return fromInt32(int(qBound(intMin, integral, intMax))) + fromFloat(part);
}

ModbusBytes ModbusBytes::fromDateTime(const QDateTime &value)
{
    return fromUInt32(TavrexBus::archLabelToSeconds(value));
}

ModbusBytes ModbusBytes::fromArchLabels(const QList<uint> &labels)
{
    ModbusBytes bytes;
    bytes.reserve(labels.size() * 4);
    for (uint label : labels)
        bytes.appendUInt32(label);
    return bytes;
}

ModbusBytes ModbusBytes::fromArchTimeLabels(const QList<QDateTime> &labels)
{
    ModbusBytes bytes;
    bytes.reserve(labels.size() * 4);
    for (const QDateTime &label : labels)
        bytes.appendDateTime(label);
    return bytes;
}

ModbusBytes ModbusBytes::fromStringAnsi(const QString &text, bool asRegs)
{
    return fromBytes(text.toLatin1(), asRegs);
}

ModbusBytes ModbusBytes::fromBytes(const QByteArray &bytes, bool asRegs)
{
    if (!asRegs)
        return bytes;
    ModbusBytes regs = fromSize(int(bytes.size() * 2));
    for (qsizetype i = 0; i < bytes.size(); ++i)
        regs.data()[2 * i + 1] = bytes.at(i);
    return regs;
}

ModbusBytes ModbusBytes::fromStringUtf8(const QString &text)
{
    return text.toUtf8();
}

ModbusBytes ModbusBytes::fromStringUtf8(const QString &text, int maxSize)
{
    // Walk whole code points so that neither a multi-byte sequence nor a
    // surrogate pair is ever cut.
    qsizetype cut = 0;
    qsizetype encoded = 0;
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size()
                && text.at(i + 1).isLowSurrogate();
        const char32_t ucs = pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                                  : char32_t(text.at(i).unicode());
        const int width = ucs < 0x80 ? 1 : ucs < 0x800 ? 2 : ucs < 0x10000 ? 3 : 4;
        if (encoded + width > maxSize)
            break;
        encoded += width;
        i += pair ? 2 : 1;
        cut = i;
    }
    return QStringView(text).left(cut).toUtf8();
}

ModbusBytes ModbusBytes::fromHex(const QByteArray &hex)
{
    return QByteArray::fromHex(hex);
}

ModbusBytes ModbusBytes::fromModbusString(const QString &text)
{
    return QByteArray::fromHex(text.simplified().toLatin1());
}

ModbusBytes ModbusBytes::fromSize(int size, uchar fill)
{
    return QByteArray(qMax(size, 0), char(fill));
}

ModbusBytes ModbusBytes::fromRegsCount(int count, ushort value)
{
    ModbusBytes bytes;
    bytes.resize(qMax(count, 0) * 2);
    char *out = bytes.data();
    for (int i = 0; i < count; ++i)
        qToBigEndian(value, out + 2 * i);
    return bytes;
}

ModbusBytes ModbusBytes::fromOther(const ModbusBytes &src, int pos, int len)
{
    const qint64 size = src.size();
    if (pos < 0 || pos >= size)
        return ModbusBytes();
    qint64 count = len == -1 ? size - pos : qMax(len, 0);
    count = qMin<qint64>(count, size - pos);
    return src.mid(pos, count);
}

ModbusBytes ModbusBytes::fromList(const QList<ModbusBytes> &blocks)
{
    ModbusBytes bytes;
    qsizetype total = 0;
    for (const ModbusBytes &block : blocks)
        total += block.size();
    bytes.reserve(total);
    for (const ModbusBytes &block : blocks)
        bytes.QByteArray::append(block);
    return bytes;
}

ModbusBytes ModbusBytes::fromModbusBytesArray(const ModbusBytesArray &blocks)
{
    return fromList(blocks);
}

ModbusBytes &ModbusBytes::append(char *text)
{
    return append(static_cast<const char *>(text));
}

ModbusBytes &ModbusBytes::append(const char *text)
{
    QByteArray::append(text);
    return *this;
}

ModbusBytes &ModbusBytes::append(const QByteArray &bytes)
{
    QByteArray::append(bytes);
    return *this;
}

ModbusBytes &ModbusBytes::prepend(uchar byte)
{
    QByteArray::prepend(char(byte));
    return *this;
}

// Without it a buffer would pass for its data pointer and end at its first zero byte.
ModbusBytes &ModbusBytes::prepend(const QByteArray &bytes)
{
    QByteArray::prepend(bytes);
    return *this;
}

ModbusBytes &ModbusBytes::prepend(const char *text)
{
    QByteArray::prepend(text);
    return *this;
}

ModbusBytes &ModbusBytes::prepend(const ModbusBytes &src, int pos, int len)
{
    QByteArray::prepend(fromOther(src, pos, len));
    return *this;
}

ModbusBytes &ModbusBytes::appendReg(ushort value)
{
    return appendUInt16(value);
}

ModbusBytes &ModbusBytes::appendFloat(float value)
{
    return appendUInt32(putIn32(value));
}

ModbusBytes &ModbusBytes::appendDateTime(const QDateTime &value)
{
    return appendUInt32(TavrexBus::archLabelToSeconds(value));
}

ModbusBytes &ModbusBytes::operator+=(const ModbusBytes &bytes) { return append(bytes); }
ModbusBytes &ModbusBytes::operator+=(uchar byte) { return append(byte); }
ModbusBytes &ModbusBytes::operator<<(const ModbusBytes &bytes) { return append(bytes); }
ModbusBytes &ModbusBytes::operator<<(uchar byte) { return append(byte); }
ModbusBytes &ModbusBytes::operator<<(ushort value) { return appendUInt16(value); }
ModbusBytes &ModbusBytes::operator<<(uint value) { return appendUInt32(value); }

uchar ModbusBytes::operator[](int i) const { return uchar(QByteArray::at(i)); }
uchar ModbusBytes::operator[](uint i) const { return uchar(QByteArray::at(i)); }
uchar ModbusBytes::operator[](qsizetype i) const { return uchar(QByteArray::at(i)); }

uchar &ModbusBytes::operator[](int i)
{
    return reinterpret_cast<uchar &>(QByteArray::operator[](i));
}

uchar &ModbusBytes::operator[](uint i)
{
    return reinterpret_cast<uchar &>(QByteArray::operator[](i));
}

uchar &ModbusBytes::operator[](qsizetype i)
{
    return reinterpret_cast<uchar &>(QByteArray::operator[](i));
}

bool ModbusBytes::operator==(const ModbusBytesArray &blocks) const
{
    return blocks.size() == 1 && blocks.constFirst() == *this;
}

bool ModbusBytes::operator!=(const ModbusBytesArray &blocks) const
{
    return !(*this == blocks);
}

ModbusBytes operator+(const ModbusBytes &a, const ModbusBytes &b)
{
    ModbusBytes sum(a);
    sum += b;
    return sum;
}

ModbusBytes operator+(const ModbusBytes &a, const QByteArray &b)
{
    return a + ModbusBytes(b);
}

ModbusBytes operator+(const QByteArray &a, const ModbusBytes &b)
{
    return ModbusBytes(a) + b;
}

void ModbusBytes::removeLast(int n)
{
    if (n > 0)
        chop(qMin<qsizetype>(n, size()));
}

ModbusBytes ModbusBytes::takeFirst(int n)
{
    if (n < 0) {
        qCCritical(lcCore, "takeFirst - invalid argument");
        return ModbusBytes();
    }
    const ModbusBytes head = fromOther(*this, 0, n);
    remove(0, head.size());
    return head;
}

void ModbusBytes::alignToWord(bool atEnd)
{
    if (size() % 2 == 0)
        return;
    if (atEnd)
        QByteArray::append('\0');
    else
        QByteArray::prepend('\0');
}

ModbusBytes ModbusBytes::alignedToWord(bool atEnd) const
{
    ModbusBytes copy(*this);
    copy.alignToWord(atEnd);
    return copy;
}

void ModbusBytes::reverse()
{
    std::reverse(begin(), end());
}

void ModbusBytes::resize(int size, bool atEnd)
{
    const qsizetype target = qMax(size, 0);
    if (atEnd) {
        QByteArray::resize(target, '\0');
    } else if (target < this->size()) {
        remove(0, this->size() - target);
    } else {
        insert(0, QByteArray(target - this->size(), '\0'));
    }
}

ModbusBytes ModbusBytes::resized(int size, bool atEnd) const
{
    if (size == this->size())
        return *this;
    ModbusBytes copy(*this);
    copy.resize(size, atEnd);
    return copy;
}

void ModbusBytes::setBytes(const ModbusBytes &src, int pos, int len)
{
    if (len == -1)
        len = int(src.size());
    if (pos < 0 || len <= 0)
        return;
    const qint64 end = qint64(pos) + len;
    if (end > std::numeric_limits<int>::max())
        return;
    if (end > size())
        QByteArray::resize(end, '\0');
    const qsizetype count = qMin<qsizetype>(len, src.size());
    if (count > 0)
        std::memmove(data() + pos, src.constData(), size_t(count));
}

void ModbusBytes::setBit(int n, bool value)
{
    if (n < 0 || n / 8 >= size())
        return;
    uchar &byte = (*this)[n / 8];
    const uchar mask = uchar(1u << (n % 8));
    byte = value ? uchar(byte | mask) : uchar(byte & ~mask);
}

uchar ModbusBytes::first() const
{
    return isEmpty() ? 0 : uchar(QByteArray::front());
}

uchar ModbusBytes::last() const
{
    return isEmpty() ? 0 : uchar(QByteArray::back());
}

signed char ModbusBytes::toInt8(int pos, bool asReg) const
{
    return extractInt8(toUInt8(pos, asReg));
}

bool ModbusBytes::toBit(int pos, int bit, bool asReg) const
{
    if (bit < 0 || bit > 7)
        return false;
    return (toUInt8(pos, asReg) >> bit) & 1;
}

bool ModbusBytes::getBit(int n, bool reversed) const
{
    if (n < 0 || n / 8 >= size())
        return false;
    const qsizetype index = reversed ? size() - 1 - n / 8 : n / 8;
    return (uchar(constData()[index]) >> (n % 8)) & 1;
}

ushort ModbusBytes::toReg(int pos) const { return toUInt16(pos); }
short ModbusBytes::toInt16(int pos) const { return extractInt16(toUInt16(pos)); }

ushort ModbusBytes::getReg(int i) const
{
    const qint64 pos = qint64(i) * 2;
    return pos < 0 || pos > std::numeric_limits<int>::max() ? 0 : toUInt16(int(pos));
}

int ModbusBytes::toInt32(int pos) const { return extractInt32(toUInt32(pos)); }
float ModbusBytes::toFloat(int pos) const { return extractFloat(toUInt32(pos)); }

unsigned long long ModbusBytes::toUInt64(int pos) const
{
    return fits(pos, 8) ? qFromBigEndian<quint64>(constData() + pos) : 0;
}

long long ModbusBytes::toInt64(int pos) const { return extractInt64(toUInt64(pos)); }
double ModbusBytes::toDouble(int pos) const { return extractDouble(toUInt64(pos)); }

double ModbusBytes::toDoubleStruct(int pos) const
{
    if (!fits(pos, 8))
        return 0.0;
    return double(toInt32(pos)) + double(toFloat(pos + 4));
}

QDateTime ModbusBytes::toDateTime(int pos) const
{
    return fits(pos, 4) ? TavrexBus::archLabelToTime(toUInt32(pos)) : QDateTime();
}

int ModbusBytes::regsCount() const { return int(size() / 2); }
int ModbusBytes::archLabelsCount() const { return int(size() / 4); }

uint ModbusBytes::getArchLabel(int i) const
{
    const qint64 pos = qint64(i) * 4;
    return pos < 0 || pos > std::numeric_limits<int>::max() ? 0 : toUInt32(int(pos));
}

namespace {

// Reads consecutive whole values of one width; a value cut by the end of the
// buffer is not read.
template <typename T, typename Reader>
QList<T> readSeries(const ModbusBytes &bytes, int pos, int count, int width, Reader read)
{
    QList<T> values;
    if (pos < 0 || pos >= bytes.size() || count <= 0)
        return values;
    const qint64 available = (bytes.size() - pos) / width;
    values.reserve(qMin<qint64>(count, available));
    for (qint64 p = pos; values.size() < count && p + width <= bytes.size(); p += width)
        values.append(read(int(p)));
    return values;
}

} // namespace

QList<unsigned short> ModbusBytes::toRegs(int pos, int count) const
{
    return readSeries<unsigned short>(*this, pos, count == -1 ? regsCount() : count, 2,
                                      [this](int p) { return toUInt16(p); });
}

QList<unsigned int> ModbusBytes::toArchLabels(int pos, int count) const
{
    return readSeries<unsigned int>(*this, pos, count == -1 ? archLabelsCount() : count, 4,
                                    [this](int p) { return toUInt32(p); });
}

QList<QDateTime> ModbusBytes::toArchTimeLabels(int pos, int count) const
{
    return readSeries<QDateTime>(*this, pos, count == -1 ? archLabelsCount() : count, 4,
                                 [this](int p) { return toDateTime(p); });
}

QString ModbusBytes::toStringAnsi(int pos, int len, bool oneCharPerReg) const
{
    if (pos < 0)
        return QString();
    if (len == -1)
        len = int(size()) - pos;
    if (len < 1 || qint64(pos) + len > size())
        return QString();
    if (!oneCharPerReg)
        return QString::fromLatin1(constData() + pos, len);
    QString text;
    text.reserve(len);
    for (qint64 i = qint64(pos) + 1; i < size() && text.size() < len; i += 2)
        text.append(QChar::fromLatin1(constData()[i]));
    return text;
}

QString ModbusBytes::toStringUtf8(int pos, int len) const
{
    const ModbusBytes slice = fromOther(*this, pos, len);
    return QString::fromUtf8(slice.constData(), qstrnlen(slice.constData(), uint(slice.size())));
}

QString ModbusBytes::toBinary() const
{
    QString text;
    text.reserve(size() * 8);
    for (char byte : *this)
        text += QString::number(uchar(byte), 2);
    return text;
}

bool ModbusBytes::emptyOrZero() const
{
    return std::all_of(cbegin(), cend(), [](char byte) { return byte == 0; });
}

bool ModbusBytes::checkCrc16() const
{
    if (size() < 3)
        return false;
    return qChecksumModbus(*this, uint(size() - 2), 0) == toUInt16(int(size() - 2));
}

ModbusBytesArray ModbusBytes::splitBySize(int chunk, int maxCount) const
{
    ModbusBytesArray blocks;
    if (isEmpty() || maxCount == 0)
        return blocks;
    if (chunk < 1)
        chunk = int(size());
    for (qint64 pos = 0; pos < size() && (maxCount < 0 || blocks.size() < maxCount); pos += chunk)
        blocks.append(fromOther(*this, int(pos), chunk));
    return blocks;
}

ModbusBytesArray ModbusBytes::splitByCount(int n) const
{
    if (n <= 0)
        return ModbusBytesArray();
    return splitBySize(int(size() / n), -1);
}
