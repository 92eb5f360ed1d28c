#ifndef MODBUSPACKETFILE_H
#define MODBUSPACKETFILE_H

#include "modbusbytes.h"
#include "modbuspacket.h"

/// File registers: functions 68 (read) and 69 (write).
class TAVREXBUS1_EXPORT ModbusPacketFile : public ModbusPacket
{
public:
    ModbusPacketFile();
    ModbusPacketFile(const ModbusPacketFile &other) = default;
    ModbusPacketFile &operator=(const ModbusPacketFile &other) = default;

    QString toString(bool oneLine) const override;

    bool operator==(const ModbusPacketFile &other) const;
    bool operator!=(const ModbusPacketFile &other) const { return !(*this == other); }

    quint8 requestFile = 0;
    quint16 requestOffset = 0;
    quint8 requestRegistersCount = 0;
    ModbusBytes bytes;
    quint8 registersWritten = 0;
};

#endif // MODBUSPACKETFILE_H
