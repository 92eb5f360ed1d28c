#ifndef MODBUSSTRINGUTF8_H
#define MODBUSSTRINGUTF8_H

#include "modbuscustombytes.h"

/// UTF-8 text in a field of `length` bytes; a multi-byte character is never cut in half.
///
/// Available in QML as `ModbusStringUtf8` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusStringUtf8 : public ModbusCustomBytes
{
    Q_OBJECT
    /// Bytes in the field.
    Q_PROPERTY(int length READ itemSize WRITE setLength NOTIFY lengthChanged)
    /// When 0 or more, the stored text is padded with adjustByte or cut to exactly this many bytes; -1
    /// (default) leaves it as it is.
    Q_PROPERTY(int adjustLength READ adjustLength WRITE setAdjustLength NOTIFY adjustLengthChanged)
    /// The padding byte of adjustLength; 0 by default.
    Q_PROPERTY(int adjustByte READ adjustByte WRITE setAdjustByte NOTIFY adjustByteChanged)

public:
    /// A UTF-8 text at holding register 400001.
    explicit ModbusStringUtf8(QObject *parent = nullptr);
    /// A UTF-8 text at the logical number address.
    ModbusStringUtf8(quint32 address, QObject *parent = nullptr);

    /// Bytes in the field.
    int length() const { return itemSize(); }
    /// Setter of the length property.
    void setLength(int length) { setItemSize(length); }
    /// Getter of the adjustLength property.
    int adjustLength() const { return m_adjustLength; }
    /// Getter of the adjustByte property.
    quint8 adjustByte() const { return m_adjustByte; }

    QVariant getTypedValue(const ModbusBytes &b) const override;

public Q_SLOTS:
    /// Stores value as UTF-8, adjusted to adjustLength.
    void setValue(const QString &value) override;
    /// Writes value as UTF-8, adjusted to adjustLength.
    bool writeValue(const QString &value) override;
    /// Setter of the adjustLength property.
    void setAdjustLength(int length);
    /// Setter of the adjustByte property.
    void setAdjustByte(quint8 byte);

Q_SIGNALS:
    /// length changed.
    void lengthChanged();
    /// adjustLength changed to length.
    void adjustLengthChanged(int length);
    /// adjustByte changed to byte.
    void adjustByteChanged(quint8 byte);

protected:
    void updateValueFromBytes() override;

private:
    ModbusBytes encode(const QString &value) const;

    int m_adjustLength = -1;
    quint8 m_adjustByte = 0;
};

#endif
