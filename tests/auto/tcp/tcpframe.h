#ifndef TCPFRAME_H
#define TCPFRAME_H

#include <QtCore/QByteArray>

// A Modbus/TCP frame built by hand, so that tests do not check our framing with itself.
inline QByteArray tcpFrame(quint16 transactionId, quint8 unit, const QByteArray &pdu)
{
    QByteArray frame;
    const int length = int(pdu.size()) + 1;
    frame.append(char(transactionId >> 8)).append(char(transactionId & 0xFF)).append(2, '\0');
    frame.append(char(length >> 8)).append(char(length & 0xFF)).append(char(unit)).append(pdu);
    return frame;
}

#endif
