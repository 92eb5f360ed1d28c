#include "modbusdatetime.h"

#include "typeditem_p.h"

ModbusDateTime::ModbusDateTime(QObject *parent)
    : ModbusDateTime(400001, parent)
{
}

ModbusDateTime::ModbusDateTime(quint32 address, QObject *parent)
    : ModbusItemAddressedBase(4, address, parent),
      m_value(QDateTime::fromMSecsSinceEpoch(0)),
      m_format(QStringLiteral("yyyy.MM.dd hh:mm:ss"))
{
}

void ModbusDateTime::setValue(const QDateTime &value)
{
    TypedItem::store(this, m_value, value, [&value] { return ModbusBytes::fromDateTime(value); });
}

bool ModbusDateTime::writeValue(const QDateTime &value)
{
    return write(ModbusBytes::fromDateTime(value));
}

void ModbusDateTime::updateValueFromBytes()
{
    setValue(bytes().toDateTime(0));
}

QString ModbusDateTime::formatValue() const
{
    return m_value.toTimeSpec(Qt::UTC).toString(m_format);
}

void ModbusDateTime::setFormatValue(const QString &text)
{
    setValue(QDateTime::fromString(text, m_format));
}

QVariant ModbusDateTime::getTypedValue(const ModbusBytes &b) const
{
    return QVariant(b.toDateTime(0));
}

void ModbusDateTime::setFormat(const QString &format)
{
    if (format == m_format)
        return;
    m_format = format;
    emit formatChanged();
}
