#ifndef MODBUSCUSTOMBYTES_H
#define MODBUSCUSTOMBYTES_H

#include "modbusitemaddressedbase.h"

// Raw bytes of any size, shown and entered as hexadecimal text.
class TAVREXBUS1_EXPORT ModbusCustomBytes : public ModbusItemAddressedBase
{
    Q_OBJECT
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(int itemSize READ itemSize WRITE setItemSize NOTIFY itemSizeChanged)

public:
    explicit ModbusCustomBytes(QObject *parent = nullptr);
    ModbusCustomBytes(quint32 address, QObject *parent = nullptr);

    QString value() const { return m_value; }
    int itemSize() const { return requestItemBytesCount(); }
    virtual void setItemSize(int size);

    QString formatValue() const override { return m_value; }
    void setFormatValue(const QString &text) override { setValue(text); }
    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    virtual void setValue(const QString &value);
    virtual bool writeValue(const QString &value);

Q_SIGNALS:
    void valueChanged(const QString &value);
    void itemSizeChanged(int size);

protected:
    void updateValueFromBytes() override;
    // Stores a new text with its wire form.
    void storeValue(const QString &value, const ModbusBytes &encoded);

private:
    QString m_value;
};

#endif
