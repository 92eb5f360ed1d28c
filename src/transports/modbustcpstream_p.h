#ifndef MODBUSTCPSTREAM_P_H
#define MODBUSTCPSTREAM_P_H

#include "modbusbytes.h"
#include "tavrexbus1global.h"

// Cuts whole Modbus/TCP frames out of a byte stream by the length field of their MBAP header.
// TCP may split one frame over several reads or join several frames in one read.
class TAVREXBUS1_EXPORT ModbusTcpStream
{
public:
    enum Result { Incomplete, Frame, Garbage };

    void append(const QByteArray &bytes);
    // Frame: the first whole frame is moved into frame. Garbage: the buffer did not start with a
    // plausible header and has been dropped whole; error tells why. Incomplete: wait for more bytes.
    Result takeFrame(ModbusBytes &frame, QString *error = nullptr);
    void clear();
    bool isEmpty() const;
    int size() const;

    static quint16 transactionId(const ModbusBytes &frame);

private:
    ModbusBytes m_buffer;
};

#endif
