#include "modbustcpstream_p.h"

#include "modbustcpparser.h"

#include <utility>

void ModbusTcpStream::append(const QByteArray &bytes)
{
    m_buffer.append(bytes);
}

ModbusTcpStream::Result ModbusTcpStream::takeFrame(ModbusBytes &frame, QString *error)
{
    const int frameSize = ModbusTCPParser::frameSize(m_buffer, error);
    if (frameSize < 0) {
        m_buffer.clear();
        return Garbage;
    }
    if (frameSize == 0 || m_buffer.size() < frameSize)
        return Incomplete;
    if (m_buffer.size() == frameSize) {
        // The usual case, one read holding one frame: hand the bytes over without a copy.
        frame = std::exchange(m_buffer, ModbusBytes());
        return Frame;
    }
    frame = m_buffer.left(frameSize);
    m_buffer.remove(0, frameSize);
    return Frame;
}

void ModbusTcpStream::clear()
{
    m_buffer.clear();
}

bool ModbusTcpStream::isEmpty() const
{
    return m_buffer.isEmpty();
}

int ModbusTcpStream::size() const
{
    return int(m_buffer.size());
}

quint16 ModbusTcpStream::transactionId(const ModbusBytes &frame)
{
    return frame.toUInt16(0);
}
