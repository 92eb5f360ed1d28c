#ifndef TCPFRAMEWRITE_P_H
#define TCPFRAMEWRITE_P_H

#include <QtCore/QByteArray>
#include <QtNetwork/QTcpSocket>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

// Writes a whole frame and returns how many bytes the socket took. Qt's write buffer arms and
// then disarms a write notifier for every frame, and with the GLib event loop each change wakes
// the loop once more; a frame the kernel takes whole at once needs neither, so it goes straight
// to the socket when nothing is queued before it.
inline qint64 writeTcpFrame(QTcpSocket &socket, const QByteArray &frame)
{
#ifdef Q_OS_UNIX
    if (socket.bytesToWrite() == 0 && socket.state() == QAbstractSocket::ConnectedState) {
        const qint64 sent = ::send(int(socket.socketDescriptor()), frame.constData(), size_t(frame.size()),
                                   MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent == frame.size())
            return sent;
        if (sent > 0)
            return sent + socket.write(frame.constData() + sent, frame.size() - sent);
    }
#endif
    return socket.write(frame);
}

#endif // TCPFRAMEWRITE_P_H
