#ifndef TAVREXBUS1_EVENTEDTRANSPORT_H
#define TAVREXBUS1_EVENTEDTRANSPORT_H

#include "transport.h"

#include <QtCore/QDateTime>

class TransportEventReader;

/// A transport whose device may also push short event records beside its Modbus traffic;
/// an eventable one polls for them on a reader thread of its own.
///
/// Registered in QML as the uncreatable type `EventedTransport` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT EventedTransport : public Transport
{
    Q_OBJECT
    /// Polling period of the event reader, in milliseconds; 100 by default.
    Q_PROPERTY(int eventsCheckInterval READ eventsCheckInterval WRITE setEventsCheckInterval
               NOTIFY eventsCheckIntervalChanged)
    /// Age after which a partly received event record is dropped, in milliseconds; 500 by default.
    Q_PROPERTY(int eventsTimeout READ eventsTimeout WRITE setEventsTimeout NOTIFY eventsTimeoutChanged)
    /// Whether this link polls its device for event records.
    Q_PROPERTY(bool eventable READ eventable NOTIFY eventableChanged)

public:
    /// A link that polls for events when eventable is true.
    explicit EventedTransport(QObject *parent = nullptr, bool eventable = false);
    ~EventedTransport() override;

    /// Getter of the eventsCheckInterval property.
    int eventsCheckInterval() const;
    /// Setter of the eventsCheckInterval property.
    void setEventsCheckInterval(int msecs);
    /// Getter of the eventsTimeout property.
    int eventsTimeout() const;
    /// Setter of the eventsTimeout property.
    void setEventsTimeout(int msecs);
    /// Getter of the eventable property.
    bool eventable() const;

    /// The longest event record a length byte can announce.
    static constexpr int MaxEventRecordSize = 254;
    /// The bytes a device sends for one event record: its length byte (counting itself), then the
    /// record; empty for a record longer than MaxEventRecordSize.
    static ModbusBytes frameEventRecord(const ModbusBytes &record);

public Q_SLOTS:
    /// Polls for event records on the reader thread; false when nothing can be polled.
    virtual bool checkEvents();
    /// Polls for event records now, on the calling thread.
    virtual bool checkEventsSync();

Q_SIGNALS:
    /// The device sent an event record (bytes) through target.
    void eventBytesReceived(ModbusBytes bytes, const Target *target);
    /// eventsCheckInterval changed.
    void eventsCheckIntervalChanged();
    /// eventsTimeout changed.
    void eventsTimeoutChanged();
    /// eventable changed.
    void eventableChanged();

protected:
    void afterConnected() override;
    void afterDisconnected() override;
    virtual bool readEventBytes(ModbusBytes &bytes, QString *error);
    /// Ends the event reader thread for good. An eventable subclass calls it first thing in its
    /// destructor, so that no poll reaches the object while it is half destroyed.
    void stopEventReader();

private:
    QList<ModbusBytes> splitEventRecords();
    // A partial record whose rest did not come within eventsTimeout is dropped, and said so.
    void dropStalePartialRecord();

    ModbusBytes m_eventBuffer;
    QDateTime m_eventBufferTime;
    int m_eventsCheckInterval = 100;
    int m_eventsTimeout = 500;
    const bool m_eventable;
    TransportEventReader *m_eventReader = nullptr;
    bool m_firstEventsPending = true;
};

#endif
