#include "modbusfile.h"

#include "modbustaskfile.h"

ModbusFile::ModbusFile(QObject *parent)
    : ModbusItemBase(1, parent)
{
}

QString ModbusFile::value() const
{
    return QString::fromLatin1(bytes().toHex());
}

// Unlike a typed item, the same text set twice is announced twice: a file editor relies on it.
void ModbusFile::setValue(const QString &value)
{
    setBytes(ModbusBytes::fromHex(value.toLatin1()), ValueChange);
    emit formatValueChanged();
    emit valueChanged();
}

void ModbusFile::updateValueFromBytes()
{
    emit formatValueChanged();
    emit valueChanged();
}

QVariant ModbusFile::getTypedValue(const ModbusBytes &bytes) const
{
    return QString::fromLatin1(bytes.toHex());
}

ModbusBytesArray ModbusFile::getModbusBytes(const ModbusBytesArray &array) const
{
    return array.alignedToWord(false);
}

int ModbusFile::requestItemModbusBytesCount() const
{
    return m_length + m_length % 2;
}

void ModbusFile::setFile(quint8 file)
{
    if (file == m_file)
        return;
    m_file = file;
    reinitIntervalReading();
    needValueRead();
    emit fileChanged(file);
}

void ModbusFile::setOffset(quint16 offset)
{
    if (offset == m_offset)
        return;
    m_offset = offset;
    reinitIntervalReading();
    needValueRead();
    emit offsetChanged(offset);
}

void ModbusFile::setLength(int length)
{
    if (length == m_length || length < 1)
        return;
    m_length = length;
    setRequestItemBytesCount(length);
    emit lengthChanged(length);
    needValueRead();
}

void ModbusFile::setModbusBlockSize(int size)
{
    if (size == m_modbusBlockSize)
        return;
    m_modbusBlockSize = size;
    emit modbusBlockSizeChanged(size);
}

ModbusTask *ModbusFile::createModbusTask(TavrexBus::ModbusTaskType type, int interval)
{
    auto *task = new ModbusTaskFile(*this, type, interval, m_file, m_offset, m_length, m_modbusBlockSize);
    task->setForce(force());
    return task;
}

bool ModbusFile::checkValidResultTask(ModbusTask *task)
{
    if (!ModbusItemBase::checkValidResultTask(task))
        return false;
    if (task->type() == TavrexBus::WriteTask)
        return true;
    const auto *fileTask = dynamic_cast<const ModbusTaskFile *>(task);
    return fileTask && fileTask->file() == m_file && fileTask->offset() == m_offset
           && fileTask->length() == m_length;
}
