#ifndef TAVREXBUS1_MODBUSIPTRANSPORT_H
#define TAVREXBUS1_MODBUSIPTRANSPORT_H

#include "modbustransport.h"

#include <QtNetwork/QHostAddress>

#include <mutex>

/// A transport that reaches its peers over IP: the address and port it connects to or listens on,
/// and the timeouts of its socket. Setters may be called from any thread; a changed endpoint is used
/// at the next connect or exchange.
///
/// Registered in QML as the uncreatable type `ModbusIpTransport` (`import TavrexBus 1.0`).
class TAVREXBUS1_EXPORT ModbusIpTransport : public ModbusTransport
{
    Q_OBJECT
    /// The IP address, as text (an IPv4 or IPv6 literal); text that is no address is ignored.
    Q_PROPERTY(QString address READ addressStr WRITE setAddressStr NOTIFY addressChanged)
    /// The TCP or UDP port; a server given 0 listens on a free port and then tells which.
    Q_PROPERTY(int port READ port WRITE setPort NOTIFY portChanged)

public:
    /// A link in the role busType at address and port.
    ModbusIpTransport(TavrexBus::BusType busType, const QHostAddress &address, int port, QObject *parent = nullptr);

    /// The address.
    QHostAddress address() const;
    /// Sets the address.
    void setAddress(const QHostAddress &address);
    /// Getter of the address property.
    QString addressStr() const;
    /// Setter of the address property.
    void setAddressStr(const QString &address);
    /// Getter of the port property.
    int port() const;
    /// Setter of the port property.
    void setPort(int port);

    /// How long to wait for the connection (a client) or a peer (a server), in milliseconds; 1000 by default.
    int connectTimeout() const;
    /// Sets the connect timeout.
    void setConnectTimeout(int msecs);
    /// How long to wait for an orderly close, in milliseconds; 1000 by default.
    int disconnectTimeout() const;
    /// Sets the disconnect timeout.
    void setDisconnectTimeout(int msecs);
    /// How long to wait for an answer (a client) or the rest of a request (a server), in milliseconds;
    /// 1000 by default.
    int readAnswerTimeout() const;
    /// Sets the read answer timeout.
    void setReadAnswerTimeout(int msecs);
    /// How long to wait for a frame to be written, in milliseconds; 1000 by default.
    int writeTimeout() const;
    /// Sets the write timeout.
    void setWriteTimeout(int msecs);

Q_SIGNALS:
    /// address changed.
    void addressChanged();
    /// port changed.
    void portChanged();

protected:
    /// The timeouts line of the diagnostics text; a client's names its connect timeout too.
    QString timeoutsText(bool withConnect) const;

private:
    mutable std::mutex m_mutex;
    QHostAddress m_address;
    int m_port;
    int m_connectTimeout = 1000;
    int m_disconnectTimeout = 1000;
    int m_readAnswerTimeout = 1000;
    int m_writeTimeout = 1000;
};

#endif
