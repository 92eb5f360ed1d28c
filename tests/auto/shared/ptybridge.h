#ifndef PTYBRIDGE_H
#define PTYBRIDGE_H

#include "ptypair.h"

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

    bool isValid() const { return m_thread.joinable(); }
    QString portA() const { return m_a.portName(); }
    QString portB() const { return m_b.portName(); }

private:
    void relay();

    PtyPair m_a;
    PtyPair m_b;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
};

#endif
