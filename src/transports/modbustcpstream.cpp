#include "modbustcpstream_p.h"

#include <QtCore/QCoreApplication>

#include <utility>

namespace {

quint16 word(const QByteArray &bytes, int pos)
{
    return quint16(uchar(bytes.at(pos)) << 8 | uchar(bytes.at(pos + 1)));
}

// Worded as the frame parser words the same faults, so a user sees one message for one fault.
QString parserMessage(const char *reason, const QByteArray &bytes)
{
    return QCoreApplication::translate("ModbusTCPParser", "ModbusTCPParser parse error: %1; bytes: %2")
        .arg(QCoreApplication::translate("ModbusTCPParser", reason),
             QString::fromLatin1(bytes.toHex(' ').toUpper()));
}

} // namespace

void ModbusTcpStream::append(const QByteArray &bytes)
{
    m_buffer.append(bytes);
}

ModbusTcpStream::Result ModbusTcpStream::takeFrame(ModbusBytes &frame, QString *error)
{
    const char *reason = nullptr;
    if (m_buffer.size() >= 4 && word(m_buffer, 2) != 0)
        reason = "invalid Protocol ID";
    else if (m_buffer.size() >= headerSize && word(m_buffer, 4) == 0)
        reason = "zero Length";
    else if (m_buffer.size() >= headerSize && word(m_buffer, 4) > maxLength)
        reason = "bytes array is too long";
    if (reason) {
        if (error)
            *error = parserMessage(reason, m_buffer);
        m_buffer.clear();
        return Garbage;
    }
    if (m_buffer.size() < headerSize)
        return Incomplete;
    const int frameSize = headerSize + word(m_buffer, 4);
    if (m_buffer.size() < frameSize)
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

quint16 ModbusTcpStream::transactionId(const QByteArray &frame)
{
    return frame.size() >= 2 ? word(frame, 0) : 0;
}
