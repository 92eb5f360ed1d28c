#ifndef MODBUSITEMADDRESSEDBASE_H
#define MODBUSITEMADDRESSEDBASE_H

#include "modbusitembase.h"

/// An item at a logical Modbus register number (400001 the first holding register, 300001 the first input).
///
/// Registered in QML as the uncreatable type `ModbusItemAddressedBase` (`import TavrexBus 1.0`), so that QML
/// sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT ModbusItemAddressedBase : public ModbusItemBase
{
    Q_OBJECT
    Q_CLASSINFO("ExportProp", "address")
    /// Logical register number: 400001 the first holding register, 300001 the first input register, 100001 the
    /// first discrete input, below that coils. 400001 by default.
    Q_PROPERTY(quint32 address READ address WRITE setAddress NOTIFY addressChanged)

public:
    /// An item at holding register 400001.
    explicit ModbusItemAddressedBase(int requestItemBytesCount, QObject *parent = nullptr);
    /// An item at the logical number address.
    ModbusItemAddressedBase(int requestItemBytesCount, quint32 address, QObject *parent = nullptr);

    /// Getter of the address property.
    quint32 address() const { return m_address; }
    /// Setter of the address property.
    void setAddress(quint32 address);

    using ModbusItemBase::getModbusBytes;
    ModbusBytesArray getModbusBytes(const ModbusBytesArray &array) const override;
    int requestItemModbusBytesCount() const override;
    ModbusTask *createModbusTask(TavrexBus::ModbusTaskType type, int interval) override;

Q_SIGNALS:
    /// address changed.
    void addressChanged();

protected:
    bool checkValidResultTask(ModbusTask *task) override;
    void needValueRead() override;
    /// Text is left-aligned: its wire form fills the item's registers, zero-padded at the end,
    /// where numbers are padded at the front.
    void setHoldsText(bool holdsText) { m_holdsText = holdsText; }

private:
    bool isRegister() const;

    quint32 m_address;
    bool m_holdsText = false;
};

#endif
