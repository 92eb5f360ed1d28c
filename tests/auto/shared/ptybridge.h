#ifndef PTYBRIDGE_H
#define PTYBRIDGE_H

#include <QtCore/QString>

#include <thread>

// Two pseudo-terminals joined like a null-modem cable: what is written to one port is read
// from the other. Both ends are real serial device names, so two programs (or a program and
// an independent Modbus peer) can talk over them with real framing and timing.
class PtyBridge
{
public:
    PtyBridge();
    ~PtyBridge();
    PtyBridge(const PtyBridge &) = delete;
    PtyBridge &operator=(const PtyBridge &) = delete;

    bool isValid() const;
    QString portA() const;
    QString portB() const;

private:
    void relay();

    int m_masterA = -1;
    int m_slaveA = -1;
    int m_masterB = -1;
    int m_slaveB = -1;
    int m_stop[2] = {-1, -1};
    QString m_portA;
    QString m_portB;
    std::thread m_thread;
};

#endif
