#ifndef TAVREXBUS1_TRANSPORTEVENTREADER_H
#define TAVREXBUS1_TRANSPORTEVENTREADER_H

#include "tavrexbus1global.h"

#include <QtCore/QThread>

class EventedTransport;
class QTimer;

/// Polls a transport's device events on a thread of its own, only while the transport is
/// connected: a timer on this thread calls the transport's checkEventsSync() directly.
class TAVREXBUS1_EXPORT TransportEventReader : public QThread
{
    Q_OBJECT

public:
    /// Starts the thread, polling transport every interval milliseconds while it is connected.
    TransportEventReader(EventedTransport &transport, int interval, QObject *parent = nullptr);
    /// Stops polling and ends the thread; no poll runs once it returns.
    ~TransportEventReader() override;

    /// True while the polling timer exists.
    bool active() const;
    /// Starts or stops polling.
    void setActive(bool value);
    /// Milliseconds between polls.
    int interval() const;
    /// Takes effect at once when polling.
    void setInterval(int msecs);

private Q_SLOTS:
    void onConnectedChanged();

private:
    EventedTransport &m_transport;
    QTimer *m_timer = nullptr;
    int m_interval;
};

#endif
