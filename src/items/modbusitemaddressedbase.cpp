#include "modbusitemaddressedbase.h"

#include "modbustaskaddressed.h"

ModbusItemAddressedBase::ModbusItemAddressedBase(int requestItemBytesCount, QObject *parent)
    : ModbusItemAddressedBase(requestItemBytesCount, 400001, parent)
{
}

ModbusItemAddressedBase::ModbusItemAddressedBase(int requestItemBytesCount, quint32 address, QObject *parent)
    : ModbusItemBase(requestItemBytesCount, parent), m_address(address)
{
    setReadOnly(TavrexBus::isReadOnly(address));
}

void ModbusItemAddressedBase::setAddress(quint32 address)
{
    if (address == m_address)
        return;
    m_address = address;
    emit addressChanged();
    setReadOnly(TavrexBus::isReadOnly(address));
    reinitIntervalReading();
    needValueRead();
}

bool ModbusItemAddressedBase::isRegister() const
{
    const TavrexBus::ModbusAddressType type = TavrexBus::getAddressType(m_address);
    return type == TavrexBus::InputRegisters || type == TavrexBus::HoldingRegisters;
}

ModbusBytesArray ModbusItemAddressedBase::getModbusBytes(const ModbusBytesArray &array) const
{
    if (!isRegister())
        return array;
    if (!m_holdsText)
        return array.alignedToWord(false);
    // A shorter text then replaces a longer one whole, and a longer one stays in its field.
    ModbusBytesArray wire = array;
    for (ModbusBytes &element : wire)
        element.resize(requestItemModbusBytesCount(), true);
    return wire;
}

int ModbusItemAddressedBase::requestItemModbusBytesCount() const
{
    const int count = requestItemBytesCount();
    return isRegister() ? count + count % 2 : count;
}

ModbusTask *ModbusItemAddressedBase::createModbusTask(TavrexBus::ModbusTaskType type, int interval)
{
    // Every read, write and periodic read starts here: a number that would wrap onto another
    // register is refused before anything is queued.
    const int step = TavrexBus::getBytesInAddress(m_address);
    QString error;
    if (!TavrexBus::checkRegisterRange(m_address, uint((requestModbusBytesCount() + step - 1) / step), &error)) {
        setErrorString(error);
        return nullptr;
    }
    auto *task = new ModbusTaskAddressed(*this, type, interval);
    task->setForce(force());
    return task;
}

bool ModbusItemAddressedBase::checkValidResultTask(ModbusTask *task)
{
    if (!ModbusItemBase::checkValidResultTask(task))
        return false;
    if (task->type() == TavrexBus::WriteTask)
        return true;
    const auto *addressed = dynamic_cast<const ModbusTaskAddressed *>(task);
    return addressed && addressed->address() == m_address
            && addressed->requestBytesCount() == requestModbusBytesCount();
}

void ModbusItemAddressedBase::needValueRead()
{
    ModbusItemBase::needValueRead();
}
