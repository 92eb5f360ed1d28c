#ifndef RTUFRAME_H
#define RTUFRAME_H

#include <TavrexBus1/modbusbytes.h>

// An RTU frame from hex text such as "01 03 0000 0001", with its CRC appended; empty text stays empty.
inline ModbusBytes rtuFrame(const char *hex)
{
    ModbusBytes frame = ModbusBytes::fromHex(QByteArray(hex));
    if (!frame.isEmpty())
        frame.appendUInt16(qChecksumModbus(frame));
    return frame;
}

#endif
