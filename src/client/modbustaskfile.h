#ifndef MODBUSTASKFILE_H
#define MODBUSTASKFILE_H

#include "modbustask.h"

/// Reads or writes a stretch of a device file with the file-register functions.
class TAVREXBUS1_EXPORT ModbusTaskFile : public ModbusTask
{
public:
    /// A read or write of length bytes of file from register offset, in parts of modbusBlockSize registers.
    ModbusTaskFile(ModbusItemBase &item, TavrexBus::ModbusTaskType type, int interval, quint8 file,
                   quint16 offset, int length, int modbusBlockSize);
    /// Copies other.
    ModbusTaskFile(const ModbusTaskFile &other) = default;
    /// Part index of a split source.
    ModbusTaskFile(const ModbusTaskFile &source, int index);

    ModbusTask *clone() const override;
    ModbusTaskList split() override;

    /// The device file number.
    quint8 file() const { return m_file; }
    /// The first register in the file.
    quint16 offset() const { return m_offset; }
    /// Bytes of the stretch.
    int length() const { return m_length; }
    /// Registers per request, at most 122 (below 1: 122).
    int modbusBlockSize() const { return m_modbusBlockSize; }

private:
    quint8 m_file;
    quint16 m_offset;
    int m_length;
    int m_modbusBlockSize;
};

#endif
