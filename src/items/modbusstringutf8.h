#ifndef MODBUSSTRINGUTF8_H
#define MODBUSSTRINGUTF8_H

#include "modbuscustombytes.h"

// UTF-8 text in a field of `length` bytes; a multi-byte character is never cut in half.
class TAVREXBUS1_EXPORT ModbusStringUtf8 : public ModbusCustomBytes
{
    Q_OBJECT
    Q_PROPERTY(int length READ itemSize WRITE setLength NOTIFY lengthChanged)
    Q_PROPERTY(int adjustLength READ adjustLength WRITE setAdjustLength NOTIFY adjustLengthChanged)
    Q_PROPERTY(int adjustByte READ adjustByte WRITE setAdjustByte NOTIFY adjustByteChanged)

public:
    explicit ModbusStringUtf8(QObject *parent = nullptr);
    ModbusStringUtf8(quint32 address, QObject *parent = nullptr);

    int length() const { return itemSize(); }
    void setLength(int length) { setItemSize(length); }
    int adjustLength() const { return m_adjustLength; }
    quint8 adjustByte() const { return m_adjustByte; }

    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    void setValue(const QString &value) override;
    bool writeValue(const QString &value) override;
    void setAdjustLength(int length);
    void setAdjustByte(quint8 byte);

Q_SIGNALS:
    void lengthChanged();
    void adjustLengthChanged(int length);
    void adjustByteChanged(quint8 byte);

protected:
    void updateValueFromBytes() override;

private:
    ModbusBytes encode(const QString &value) const;

    int m_adjustLength = -1;
    quint8 m_adjustByte = 0;
};

#endif
