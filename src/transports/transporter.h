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
///
/// Registered in QML as the uncreatable type `Transporter` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT Transporter : public ErrObject, public QTavrexObject
{
    Q_OBJECT

public:
    /// A transporter with no transport.
    explicit Transporter(QObject *parent = nullptr);
    ~Transporter() override;

    QString toString(bool oneLine = false) const override;

    /// The transports driven.
    QList<EventedTransport *> transports() const;
    /// Sends bytes through the transport holding target; with answer, waits for the reply. False with
    /// errorString() on failure.
    bool sendBytes(const ModbusBytes &bytes, const Target *target, ModbusBytes *answer);
    /// Sends an event record through the transport holding target.
    bool sendEventBytes(const ModbusBytes &bytes, const Target *target);
    /// A transport of another thread may go at any time: there the result is only a name.
    EventedTransport *getTransportByTarget(const Target *target) const;

public Q_SLOTS:
    /// Opens every transport; false when one failed.
    bool connectTransports();
    /// Closes every transport; false when one failed.
    bool disconnectTransports();
    /// Drives transport from now on, and owns it with addAsChild.
    virtual void addTransport(EventedTransport &transport, bool addAsChild);
    /// Drives transport from now on, without owning it.
    void addTransport(EventedTransport &transport);
    /// Stops driving transport.
    virtual void removeTransport(EventedTransport &transport);

Q_SIGNALS:
    /// A transport got the request bytes from target; a receiver connected directly fills answerBytes.
    void requestBytesReceived(ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes);
    /// A transport received a frame from target.
    void bytesReceived(ModbusBytes bytes, const Target *target);
    /// A transport sent a frame to target.
    void bytesSent(ModbusBytes bytes, const Target *target);
    /// transport is about to leave.
    void transportRemoving(Transport &transport);
    /// A transport received an event record from target.
    void eventBytesReceived(ModbusBytes bytes, const Target *target);
    /// A transport sent an event record to target.
    void eventBytesSent(ModbusBytes bytes, const Target *target);
    /// transport opened or closed.
    void connectedChanged(Transport *transport);
    /// The list of transports changed.
    void transportsChanged();
    /// A transport destroyed on another thread has left the list; the pointer only names it.
    void transportWithdrawn(const Transport *transport);

private Q_SLOTS:
    void onBytesReceived(ModbusBytes bytes, const Target *target);
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
    void announce(void (Transporter::*signal)(ModbusBytes, const Target *), const ModbusBytes &bytes,
                  const Target *target);
    void detach(EventedTransport &transport);

    QList<Entry> m_entries;
};

#endif
