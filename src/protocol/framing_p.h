#ifndef FRAMING_P_H
#define FRAMING_P_H

#include "modbusbytes.h"
#include "modbusparseinfo.h"

#include <QtCore/QCoreApplication>

namespace Framing {

// The PDU inside a frame, without copying: it must not outlive the frame.
inline ModbusBytes pduView(const ModbusBytes &frame, int from, int len)
{
    return ModbusBytes(QByteArray::fromRawData(frame.constData() + from, len));
}

// Bytes as every message and packet text of the library shows them: lower-case pairs
// separated by blanks.
inline QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

inline const ModbusParseInfo &modbusInfo(const IParseInfo &info)
{
    const auto *modbus = dynamic_cast<const ModbusParseInfo *>(&info);
    if (!modbus)
        throw QCoreApplication::translate("ModbusParser", "ERROR: invalid parse info class");
    return *modbus;
}

} // namespace Framing

#endif // FRAMING_P_H
