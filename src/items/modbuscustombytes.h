#ifndef MODBUSCUSTOMBYTES_H
#define MODBUSCUSTOMBYTES_H

#include "modbusitemaddressedbase.h"

/// Raw bytes of any size, shown and entered as hexadecimal text.
///
/// Available in QML as `ModbusCustomBytes` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusCustomBytes : public ModbusItemAddressedBase
{
    Q_OBJECT
    /// The bytes as hexadecimal text; setting it stores the bytes it spells.
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
    /// Bytes of one element.
    Q_PROPERTY(int itemSize READ itemSize WRITE setItemSize NOTIFY itemSizeChanged)

public:
    /// Raw bytes at holding register 400001.
    explicit ModbusCustomBytes(QObject *parent = nullptr);
    /// Raw bytes at the logical number address.
    ModbusCustomBytes(quint32 address, QObject *parent = nullptr);

    /// Getter of the value property.
    QString value() const { return m_value; }
    /// Getter of the itemSize property.
    int itemSize() const { return requestItemBytesCount(); }
    /// Setter of the itemSize property.
    virtual void setItemSize(int size);

    QString formatValue() const override { return m_value; }
    void setFormatValue(const QString &text) override { setValue(text); }
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Setter of the value property.
    virtual void setValue(const QString &value);
    /// Writes the bytes value spells in hexadecimal.
    virtual bool writeValue(const QString &value);

Q_SIGNALS:
    /// value changed; the new value is passed.
    void valueChanged(const QString &value);
    /// itemSize changed to size.
    void itemSizeChanged(int size);

protected:
    void updateValueFromBytes() override;
    /// Stores a new text with its wire form.
    void storeValue(const QString &value, const ModbusBytes &encoded);

private:
    QString m_value;
};

#endif
