#ifndef RECORDEDEVENTTRANSPORT_H
#define RECORDEDEVENTTRANSPORT_H

#include <TavrexBus1/eventedtransport.h>
#include <TavrexBus1/modbustarget.h>

#include <atomic>
#include <mutex>

// An eventable transport whose device plays back recorded event bytes: every chunk fed is what one
// poll of the event reader thread reads, so the test decides how records are cut across reads.
// The reader polls it on its own thread with the usual timing (eventsCheckInterval).
class RecordedEventTransport : public EventedTransport
{
    Q_OBJECT

public:
    explicit RecordedEventTransport(QObject *parent = nullptr) : EventedTransport(parent, true) {}
    ~RecordedEventTransport() override { stopEventReader(); }

    // Each chunk becomes one read, in order.
    void feed(const QList<QByteArray> &chunks);
    int pendingChunks() const;
    // Reads the reader has made, empty ones included.
    int reads() const { return m_reads; }
    // Records that went out through sendEventBytes, with their length byte.
    QList<QByteArray> sentFrames() const;
    ModbusTarget *target() { return &m_target; }

    bool sendBytes(const ModbusBytes &, const Target *target, ModbusBytes *, QString *error = nullptr) override
    {
        return checkCanSendBytes(target, error);
    }
    bool sendEventBytes(const ModbusBytes &bytes, const Target *target) override;
    bool hasTarget(const Target *target) override { return target == &m_target; }
    int targetsCount() const override { return 1; }
    int bytesAvailable(const Target *) override { return 0; }
    Target *defaultTarget() override { return &m_target; }
    QString toString(bool oneLine = false) const override
    {
        return formatLines(QStringLiteral("recorded events\n"), oneLine);
    }

protected:
    bool connectTransportInternal() override { return true; }
    bool disconnectTransportInternal() override { return true; }
    bool readEventBytes(ModbusBytes &bytes, QString *error) override;

private:
    mutable std::mutex m_lock;
    QList<QByteArray> m_chunks;
    QList<QByteArray> m_sent;
    std::atomic<int> m_reads{0};
    ModbusTarget m_target;
};

#endif
