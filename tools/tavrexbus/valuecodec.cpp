#include "valuecodec.h"

#include <TavrexBus1/tavrexbus.h>

#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QLocale>
#include <QtCore/QRegularExpression>

#include <cmath>
#include <limits>

namespace ValueCodec {

namespace {

const QString kDateTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

int fixedSize(const QString &type)
{
    static const QHash<QString, int> sizes = {
        { QStringLiteral("int16"), 2 }, { QStringLiteral("uint16"), 2 },
        { QStringLiteral("int32"), 4 }, { QStringLiteral("uint32"), 4 },
        { QStringLiteral("float"), 4 }, { QStringLiteral("datetime"), 4 },
        { QStringLiteral("double"), 8 },
    };
    return sizes.value(type, 0);
}

bool encodeInteger(const QString &type, const QString &text, ModbusBytes &bytes)
{
    bool ok = false;
    if (type.startsWith(QLatin1Char('u'))) {
        const qulonglong value = text.toULongLong(&ok, 0);
        const qulonglong max = type == QLatin1String("uint16") ? 0xFFFFu : 0xFFFFFFFFu;
        if (!ok || value > max)
            return false;
        bytes = max == 0xFFFFu ? ModbusBytes::fromUInt16(ushort(value)) : ModbusBytes::fromUInt32(uint(value));
        return true;
    }
    const qlonglong value = text.toLongLong(&ok, 0);
    const bool wide = type == QLatin1String("int32");
    const qlonglong min = wide ? std::numeric_limits<int>::min() : std::numeric_limits<short>::min();
    const qlonglong max = wide ? std::numeric_limits<int>::max() : std::numeric_limits<short>::max();
    if (!ok || value < min || value > max)
        return false;
    bytes = wide ? ModbusBytes::fromInt32(int(value)) : ModbusBytes::fromInt16(short(value));
    return true;
}

QString unknownTypeMessage(const QString &type)
{
    return QStringLiteral("unknown type \"%1\" (one of: %2)").arg(type, typeNames().join(QStringLiteral(", ")));
}

// The fewest digits that read back as the same float: 21.5 rather than 21.5000000.
QString shortestFloatText(float value)
{
    QString text;
    for (int precision = 6; precision <= std::numeric_limits<float>::max_digits10; ++precision) {
        text = QString::number(value, 'g', precision);
        if (text.toFloat() == value)
            break;
    }
    return text;
}

} // namespace

QStringList typeNames()
{
    return { QStringLiteral("int16"), QStringLiteral("uint16"), QStringLiteral("int32"),
             QStringLiteral("uint32"), QStringLiteral("float"), QStringLiteral("double"),
             QStringLiteral("string"), QStringLiteral("datetime") };
}

bool isKnownType(const QString &type)
{
    return typeNames().contains(type);
}

bool encode(const QString &type, const QString &text, ModbusBytes &bytes, QString &error)
{
    if (!isKnownType(type)) {
        error = unknownTypeMessage(type);
        return false;
    }
    bool ok = true;
    if (type.contains(QLatin1String("int"))) {
        ok = encodeInteger(type, text, bytes);
    } else if (type == QLatin1String("float")) {
        const float value = text.toFloat(&ok);
        bytes = ModbusBytes::fromFloat(value);
    } else if (type == QLatin1String("double")) {
        const double value = text.toDouble(&ok);
        bytes = ModbusBytes::fromDouble(value);
    } else if (type == QLatin1String("string")) {
        bytes = ModbusBytes::fromStringUtf8(text);
        bytes.alignToWord(true);
    } else {
        const QDateTime dateTime = QDateTime::fromString(text, kDateTimeFormat);
        ok = dateTime.isValid() && TavrexBus::archLabelToSeconds(dateTime) != 0xFFFFFFFFu;
        bytes = ModbusBytes::fromDateTime(dateTime);
    }
    if (!ok)
        error = QStringLiteral("\"%1\" is not a valid %2 value").arg(text, type);
    return ok;
}

bool decode(const QString &type, const ModbusBytes &bytes, QString &text, QString &error)
{
    if (!isKnownType(type)) {
        error = unknownTypeMessage(type);
        return false;
    }
    const int size = fixedSize(type);
    if (size && bytes.size() != size) {
        error = QStringLiteral("%1 takes %2 bytes, %3 given").arg(type).arg(size).arg(bytes.size());
        return false;
    }
    if (type == QLatin1String("int16"))
        text = QString::number(bytes.toInt16(0));
    else if (type == QLatin1String("uint16"))
        text = QString::number(bytes.toUInt16(0));
    else if (type == QLatin1String("int32"))
        text = QString::number(bytes.toInt32(0));
    else if (type == QLatin1String("uint32"))
        text = QString::number(bytes.toUInt32(0));
    else if (type == QLatin1String("float"))
        text = shortestFloatText(bytes.toFloat(0));
    else if (type == QLatin1String("double"))
        text = QString::number(bytes.toDouble(0), 'g', QLocale::FloatingPointShortest);
    else if (type == QLatin1String("string"))
        text = bytes.toStringUtf8(0, -1);
    else
        text = bytes.toDateTime(0).toString(kDateTimeFormat);
    return true;
}

bool parseHex(const QStringList &parts, ModbusBytes &bytes, QString &error)
{
    QString digits = parts.join(QString());
    digits.remove(QLatin1Char(' '));
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    static const QRegularExpression hexOnly(QStringLiteral("^[0-9A-Fa-f]*$"));
    if (digits.isEmpty() || digits.size() % 2 || !hexOnly.match(digits).hasMatch()) {
        error = QStringLiteral("\"%1\" is not a sequence of hex bytes").arg(parts.join(QLatin1Char(' ')));
        return false;
    }
    bytes = ModbusBytes::fromHex(digits.toLatin1());
    return true;
}

QString toHex(const ModbusBytes &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace ValueCodec
