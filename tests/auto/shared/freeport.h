#ifndef FREEPORT_H
#define FREEPORT_H

#include <QtNetwork/QTcpServer>

// A TCP port on 127.0.0.1 that nobody listened on a moment ago, for a peer that must be told its
// port before it starts, or for a device that is not there.
inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

#endif
