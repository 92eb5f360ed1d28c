#ifndef TAVREXBUS1_TRANSPORTER_H
#define TAVREXBUS1_TRANSPORTER_H

#include "errobject.h"
#include "eventedtransport.h"
#include "modbusbytes.h"
#include "qtavrexobject.h"

#include <QtCore/QList>

#include <functional>
#include <memory>

class TransportLease;
class TransportLifeline;

/// Drives several transports as one: routes each frame to the transport holding its target,
/// relays their traffic, events and errors, and opens or closes them together.
class TAVREXBUS1_EXPORT Transporter : public ErrObject, public QTavrexObject
{
    Q_OBJECT

public:
    explicit Transporter(QObject *parent = nullptr);
    ~Transporter() override;

    QString toString(bool oneLine = false) const override;

    QList<EventedTransport *> transports() const;
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer);
    bool sendEventBytes(const ModbusBytes &bytes, const Target *target);
    /// A transport of another thread may go at any time: there the result is only a name.
    EventedTransport *getTransportByTarget(const Target *target) const;

public Q_SLOTS:
    bool connectTransports();
    bool disconnectTransports();
    virtual void addTransport(EventedTransport &transport, bool addAsChild);
    void addTransport(EventedTransport &transport);
    virtual void removeTransport(EventedTransport &transport);

Q_SIGNALS:
    void requestBytesReceived(ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes);
    void bytesReceived(ModbusBytes bytes, const Target *target);
    void bytesSent(ModbusBytes bytes, const Target *target);
    void transportRemoving(Transport &transport);
    void eventBytesReceived(ModbusBytes bytes, const Target *target);
    void eventBytesSent(ModbusBytes bytes, const Target *target);
    void connectedChanged(Transport *transport);
    void transportsChanged();
    /// A transport destroyed on another thread has left the list; the pointer only names it.
    void transportWithdrawn(const Transport *transport);

private Q_SLOTS:
    void onRequestBytesReceived(ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes);
    void onTransportError(const QString &message);
    void onTransportDestroyed(QObject *transport);
    void onTransportDestroyed();
    void onEventBytesReceived(ModbusBytes bytes, const Target *target);
    void onTransportConnectedChanged();

protected:
    /// Library-internal (transportlifeline_p.h): a listed transport, kept alive while the lease lives.
    TransportLease lease(const std::function<bool(EventedTransport &)> &accepts) const;
    TransportLease lease(const EventedTransport *listed) const;

private:
    friend class ModbusTranslator;
    friend class Transport;
    friend class TransportLifeline;

    struct Entry
    {
        EventedTransport *transport;
        // What a notice about a transport that is already gone is matched with.
        QObject *object;
        std::shared_ptr<TransportLifeline> lifeline;
    };

    TransportLease leaseByTarget(const Target *target) const;
    bool sendBytes(const TransportLease &held, const ModbusBytes &bytes, const Target *target, ModbusBytes *answer);
    qsizetype indexOf(const QObject *transport) const;
    void removeEntry(Entry entry);
    void onTransportWithdrawn(Transport &transport);
    void detach(EventedTransport &transport);

    QList<Entry> m_entries;
};

#endif
