#ifndef TAVREXBUS1_EVENTTRANSLATOR_H
#define TAVREXBUS1_EVENTTRANSLATOR_H

#include "errobject.h"
#include "eventdeparser.h"
#include "eventparser.h"
#include "modbusbytes.h"
#include "qtavrexobject.h"

class IEvent;
class Target;
class Transporter;

/// Turns the event records that a transporter relays into events, and sends events the other way.
/// It starts with a transporter of its own (a child); setTransporter() makes it listen to another.
/// Its signals carry the event by reference and are meant for receivers on its own thread.
///
/// Registered in QML as the uncreatable type `EventTranslator` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT EventTranslator : public ErrObject, public QTavrexObject
{
    Q_OBJECT

public:
    /// A translator with no transport.
    explicit EventTranslator(QObject *parent = nullptr);
    /// Leaves the transports that its own transporter does not own open: others may still use them.
    ~EventTranslator() override;

    /// The transporter listened to, or null once it was destroyed.
    Transporter *transporter() const;
    /// Listens to transporter instead of the current one.
    void setTransporter(Transporter &transporter);
    /// Takes transporter's event records and errors.
    void registerTransporter(Transporter &transporter);
    /// Undoes registerTransporter().
    void unregisterTransporter(Transporter &transporter);
    /// False, reported as "transporter == null", when there is no transporter.
    bool checkTransporter();
    /// "EventTranslator\n".
    QString toString(bool oneLine = false) const override;

public Q_SLOTS:
    /// Offers event to the eventSending() receivers, then sends its record to target through the
    /// transporter; false when a receiver blocked it or the record could not be built or sent.
    bool send(const IEvent &event, const Target *target);
    /// Decodes one record and delivers its event: eventReceiving(), then eventReceived() unless blocked.
    void onEventBytesReceived(ModbusBytes bytes, const Target *target);

Q_SIGNALS:
    /// An event decoded from target; a receiver that clears allow keeps it from eventReceived().
    void eventReceiving(const IEvent &event, const Target *target, bool &allow);
    /// An event decoded from target and allowed by every eventReceiving() receiver.
    void eventReceived(const IEvent &event, const Target *target);
    /// An event about to be sent to target; a receiver that clears allow blocks it.
    void eventSending(const IEvent &event, const Target *target, bool &allow);
    /// An event whose record is going out to target.
    void eventSent(const IEvent &event, const Target *target);

private Q_SLOTS:
    void onSomeoneDeleted(QObject *sender);

private:
    void releaseForeignTransports();

    Transporter *m_transporter = nullptr;
    Transporter *m_ownTransporter = nullptr;
    EventParser m_parser;
    EventDeparser m_deparser;
};

#endif
