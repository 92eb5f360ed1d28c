#ifndef TAVREXBUS1_TRANSPORTER_H
#define TAVREXBUS1_TRANSPORTER_H

#include "errobject.h"
#include "eventedtransport.h"
#include "modbusbytes.h"
#include "qtavrexobject.h"

#include <QtCore/QList>

// Drives several transports as one: routes each frame to the transport holding its target,
// relays their traffic, events and errors, and opens or closes them together.
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

private Q_SLOTS:
    void onRequestBytesReceived(ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes);
    void onTransportError(const QString &message);
    void onTransportDestroyed(QObject *transport);
    void onTransportDestroyed();
    void onEventBytesReceived(ModbusBytes bytes, const Target *target);
    void onTransportConnectedChanged();

private:
    void detach(EventedTransport &transport);

    QList<EventedTransport *> m_transports;
};

#endif
