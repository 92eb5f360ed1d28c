#ifndef TAVREXBUS1_EVENTER_H
#define TAVREXBUS1_EVENTER_H

#include "errobject.h"
#include "eventtranslator.h"
#include "qtavrexobject.h"

class EventedTransport;
class IEvent;
class ModbusC55Client;
class ModbusLibusbClient;
class Target;
class Transporter;

/// The QML face of device events: listens to a transport (or a whole transporter) and emits one
/// signal per event kind. Decoding failures and the transports' errors arrive as its error().
///
/// Available in QML as `Eventer` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT Eventer : public ErrObject, public QTavrexObject
{
    Q_OBJECT
    /// The transport whose events are delivered: the first of the transporter, or null. Setting
    /// it replaces every transport listened to; a transport set here is not taken over, and one
    /// that is replaced stays open.
    Q_PROPERTY(EventedTransport *transport READ transport WRITE setTransport NOTIFY transportChanged)

public:
    /// An eventer with a transporter of its own.
    explicit Eventer(QObject *parent = nullptr);
    /// An eventer listening to the transports of transporter, which stays its owner's.
    Eventer(QObject *parent, Transporter &transporter);
    ~Eventer() override;

    /// Getter of the transport property.
    EventedTransport *transport() const;
    /// Setter of the transport property.
    void setTransport(EventedTransport *transport);
    /// The transporter listened to, or null once it was destroyed.
    Transporter *transporter() const;
    /// Listens to the transports of transporter instead.
    void setTransporter(Transporter &transporter);
    /// The translator that decodes the records; connect to it to filter events or to send them.
    EventTranslator &translator();
    /// Makes a C55 client owned by this eventer's transporter and listens to it.
    Q_INVOKABLE ModbusC55Client *addC55Client();
    /// Makes a USB client owned by this eventer's transporter and listens to it.
    Q_INVOKABLE ModbusLibusbClient *addLibusbClient();
    /// "Eventer\n".
    QString toString(bool oneLine = false) const override;

public Q_SLOTS:
    /// Connects every transport of the transporter that is not connected; false if one failed.
    bool connectTransports();
    /// Disconnects every connected transport of the transporter; false if one failed.
    bool disconnectTransports();

Q_SIGNALS:
    /// A key of the instrument's keypad, with the device's code (bit 7 set: pressed).
    void keypadEvent(quint8 code);
    /// The transport property changed, also when its transport was destroyed.
    void transportChanged();
    /// A notification of the instrument, with its code.
    void systemEvent(int code);

private Q_SLOTS:
    void onEventReceived(const IEvent &event, const Target *target);
    void onTransportsChanged();

private:
    void watch(Transporter *transporter);
    template <typename Client>
    Client *addClient();

    EventTranslator m_translator;
    Transporter *m_watched = nullptr;
    // Only compared, never followed: the transport last announced.
    EventedTransport *m_shownTransport = nullptr;
    bool m_replacing = false;
};

#endif
