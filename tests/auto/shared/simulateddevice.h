#ifndef SIMULATEDDEVICE_H
#define SIMULATEDDEVICE_H

#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbuser.h>
#include <TavrexBus1/modbusloopbackclient.h>
#include <TavrexBus1/modbusloopbackserver.h>

#include <QtCore/qhash.h>
#include <QtCore/qobject.h>

#include <atomic>
#include <mutex>

// A meter behind an in-process loopback link: holding and input registers, one file, a report
// name. It records every request and can fall silent. It may live on another thread than its clients.
class SimulatedDevice : public QObject
{
    Q_OBJECT
    Q_PROPERTY(ModbusLoopbackServer *server READ server CONSTANT)
    Q_PROPERTY(bool silent READ silent WRITE setSilent)

    template <typename F>
    auto locked(F f) const
    {
        const std::lock_guard locker(m_mutex);
        return f();
    }

public:
    struct Request
    {
        int function = 0;
        quint32 address = 0;
        int count = 0;
    };

    explicit SimulatedDevice(QObject *parent = nullptr);

    ModbusLoopbackServer *server() { return &m_server; }
    Modbuser &modbuser() { return m_modbuser; }

    Q_INVOKABLE void setRegister(quint32 address, int value) { locked([&] { m_registers[address] = quint16(value); }); }
    Q_INVOKABLE int reg(quint32 address) const { return locked([&] { return int(m_registers.value(address)); }); }
    Q_INVOKABLE int requestCount() const { return locked([&] { return int(m_requests.size()); }); }
    QList<Request> requests() const { return locked([&] { return m_requests; }); }
    void setFile(const ModbusBytes &bytes) { locked([&] { m_file = bytes; }); }
    ModbusBytes file() const { return locked([&] { return m_file; }); }
    bool silent() const { return m_silent; }
    void setSilent(bool silent) { m_silent = silent; }
    // What it answers to a report request.
    QString name() const { return QStringLiteral("Meter 2.1.7"); }

private:
    void record(int function, quint32 address, int count)
    {
        locked([&] { m_requests.append({function, address, count}); });
    }
    bool answering(bool &handled) { return handled = !m_silent; }

    ModbusLoopbackServer m_server;
    Modbuser m_modbuser;
    mutable std::mutex m_mutex;
    QHash<quint32, quint16> m_registers;
    ModbusBytes m_file;
    QList<Request> m_requests;
    std::atomic<bool> m_silent{false};
    std::atomic<int> m_lastFunction{0};
};

#endif
