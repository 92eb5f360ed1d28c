#ifndef MODBUSITEMADDRESSEDBASE_H
#define MODBUSITEMADDRESSEDBASE_H

#include "modbusitembase.h"

// An item at a logical Modbus register number (400001 the first holding register, 300001 the first input).
class TAVREXBUS1_EXPORT ModbusItemAddressedBase : public ModbusItemBase
{
    Q_OBJECT
    Q_CLASSINFO("ExportProp", "address")
    Q_PROPERTY(quint32 address READ address WRITE setAddress NOTIFY addressChanged)

public:
    explicit ModbusItemAddressedBase(int requestItemBytesCount, QObject *parent = nullptr);
    ModbusItemAddressedBase(int requestItemBytesCount, quint32 address, QObject *parent = nullptr);

    quint32 address() const { return m_address; }
    void setAddress(quint32 address);

    using ModbusItemBase::getModbusBytes;
    ModbusBytesArray getModbusBytes(const ModbusBytesArray &array) const override;
    int requestItemModbusBytesCount() const override;
    ModbusTask *createModbusTask(TavrexBus::ModbusTaskType type, int interval) override;

Q_SIGNALS:
    void addressChanged();

protected:
    bool checkValidResultTask(ModbusTask *task) override;
    void needValueRead() override;
    // Text is left-aligned: its wire form fills the item's registers, zero-padded at the end,
    // where numbers are padded at the front.
    void setHoldsText(bool holdsText) { m_holdsText = holdsText; }

private:
    bool isRegister() const;

    quint32 m_address;
    bool m_holdsText = false;
};

#endif
