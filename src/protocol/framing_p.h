#ifndef FRAMING_P_H
#define FRAMING_P_H

#include "modbusbytes.h"
#include "modbusparseinfo.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QtEndian>

namespace Framing {

// The PDU inside a frame, without copying: it must not outlive the frame.
inline ModbusBytes pduView(const ModbusBytes &frame, int from, int len)
{
    return ModbusBytes(QByteArray::fromRawData(frame.constData() + from, len));
}

inline quint16 u16At(const ModbusBytes &frame, int pos)
{
    return qFromBigEndian<quint16>(frame.constData() + pos);
}

inline QString hex(const ModbusBytes &bytes)
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
