#ifndef FAULTINJECTOR_H
#define FAULTINJECTOR_H

#include "faultplan.h"

#include <TavrexBus1/modbusbytes.h>

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QTimer>

class ModbusPacket;
class ModbusTarget;
class ModbusTranslator;
class ModbusTransport;
class Target;

// Disturbs the answers a listener gives, as its plan says: it withholds them, sends them late, in
// two parts or behind stray bytes, garbles a byte, answers with an exception instead, or closes
// the connection. Each fault is told in one line.
class FaultInjector : public QObject
{
    Q_OBJECT

public:
    enum Link { Tcp, Serial };

    // Attach after the listener joined the translator: the answer is shaped once it is made.
    FaultInjector(ModbusTransport &listener, ModbusTranslator &translator, Link link, const FaultPlan &plan,
                  QObject *parent = nullptr);

Q_SIGNALS:
    // "fault tcp #12, function 3: late 1530 ms"
    void injected(const QString &line);

private:
    // What is still to go out to a peer after its answer was cut short or held back.
    struct Pending
    {
        ModbusBytes bytes;
        bool late = false; // a whole late answer, rather than the rest of a partial one
        QTimer *timer = nullptr;
    };

    void onPacketReceiving(const ModbusPacket &packet, const ModbusTarget *target, bool &allow);
    void onAnswered(const ModbusBytes &request, const Target *target, ModbusBytes *answer);
    // The exception answer to request, framed for target.
    ModbusBytes refusal(const ModbusPacket &request, const ModbusTarget *target, int code);
    QString apply(const FaultPlan::Fault &fault, const Target *target, ModbusBytes &answer);
    int garbledIndex(const ModbusBytes &answer);
    void hold(const Target *target, const ModbusBytes &bytes, bool late, int msecs);
    void release(const Target *target, bool send);
    void closePeer(const Target *target);

    ModbusTransport &m_listener;
    ModbusTranslator &m_translator;
    Link m_link;
    FaultPlan m_plan;
    // The fault chosen for the request being answered, and that request's exception answer.
    FaultPlan::Fault m_fault;
    ModbusBytes m_exceptionAnswer;
    int m_function = 0;
    QHash<const Target *, Pending> m_pending;
};

#endif
