#ifndef MODBUSPACKETFILE_H
#define MODBUSPACKETFILE_H

#include "modbusbytes.h"
#include "modbuspacket.h"

/// File registers: functions 68 (read) and 69 (write).
class TAVREXBUS1_EXPORT ModbusPacketFile : public ModbusPacket
{
public:
    ModbusPacketFile();
    /// Copies other.
    ModbusPacketFile(const ModbusPacketFile &other) = default;
    /// Copies other.
    ModbusPacketFile &operator=(const ModbusPacketFile &other) = default;

    QString toString(bool oneLine) const override;

    /// Equal when header and every field are.
    bool operator==(const ModbusPacketFile &other) const;
    /// The opposite of operator==().
    bool operator!=(const ModbusPacketFile &other) const { return !(*this == other); }

    /// The file number.
    quint8 requestFile = 0;
    /// The first register in the file.
    quint16 requestOffset = 0;
    /// Registers asked for.
    quint8 requestRegistersCount = 0;
    /// The registers read, or to write.
    ModbusBytes bytes;
    /// Registers a write answer confirms.
    quint8 registersWritten = 0;
};

#endif // MODBUSPACKETFILE_H
