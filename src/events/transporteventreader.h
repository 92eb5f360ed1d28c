#ifndef TAVREXBUS1_TRANSPORTEVENTREADER_H
#define TAVREXBUS1_TRANSPORTEVENTREADER_H

#include "tavrexbus1global.h"

#include <QtCore/QThread>

class EventedTransport;
class QTimer;

// Polls a transport's device events on a thread of its own, only while the transport
// is connected.
class TAVREXBUS1_EXPORT TransportEventReader : public QThread
{
    Q_OBJECT

public:
    TransportEventReader(EventedTransport &transport, int interval, QObject *parent = nullptr);
    ~TransportEventReader() override;

    bool active() const;
    void setActive(bool value);
    int interval() const;
    void setInterval(int msecs);

private Q_SLOTS:
    void onConnectedChanged();

private:
    EventedTransport &m_transport;
    QTimer *m_timer = nullptr;
    int m_interval;
};

#endif
