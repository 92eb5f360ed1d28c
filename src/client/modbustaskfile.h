#ifndef MODBUSTASKFILE_H
#define MODBUSTASKFILE_H

#include "modbustask.h"

// Reads or writes a stretch of a device file with the file-register functions.
class TAVREXBUS1_EXPORT ModbusTaskFile : public ModbusTask
{
public:
    ModbusTaskFile(ModbusItemBase &item, TavrexBus::ModbusTaskType type, int interval, quint8 file,
                   quint16 offset, int length, int modbusBlockSize);
    ModbusTaskFile(const ModbusTaskFile &other) = default;
    ModbusTaskFile(const ModbusTaskFile &source, int index);

    ModbusTask *clone() const override;
    ModbusTaskList split() override;

    quint8 file() const { return m_file; }
    quint16 offset() const { return m_offset; }
    int length() const { return m_length; }
    int modbusBlockSize() const { return m_modbusBlockSize; }

private:
    quint8 m_file;
    quint16 m_offset;
    int m_length;
    int m_modbusBlockSize;
};

#endif
