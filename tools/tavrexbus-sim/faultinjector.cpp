#include "faultinjector.h"

#include <TavrexBus1/modbuspacketreg.h>
#include <TavrexBus1/modbustcpserver.h>
#include <TavrexBus1/modbustcptarget.h>
#include <TavrexBus1/modbustranslator.h>
#include <TavrexBus1/modbustransport.h>

#include <QtCore/QPointer>

#include <utility>

namespace {

// Modbus/TCP has no checksum of its own: a flipped data byte would pass any client unseen, as it
// never happens on a real connection. A broken header or function code is what a client can catch.
constexpr int TcpCheckedBytes = 8;

QString hexByte(quint8 byte)
{
    return QStringLiteral("0x%1").arg(byte, 2, 16, QLatin1Char('0'));
}

} // namespace

FaultInjector::FaultInjector(ModbusTransport &listener, ModbusTranslator &translator, Link link, const FaultPlan &plan,
                             QObject *parent)
    : QObject(parent)
    , m_listener(listener)
    , m_translator(translator)
    , m_link(link)
    , m_plan(plan)
{
    connect(&translator, &ModbusTranslator::packetReceiving, this, &FaultInjector::onPacketReceiving,
            Qt::DirectConnection);
    connect(&listener, &Transport::requestBytesReceived, this, &FaultInjector::onAnswered, Qt::DirectConnection);
    connect(&listener, &Transport::targetRemoved, this, [this](const Target *target) { release(target, false); });
}

// Chooses the fault of a request before it is served, so that a refused request changes nothing.
void FaultInjector::onPacketReceiving(const ModbusPacket &packet, const ModbusTarget *target, bool &allow)
{
    if (!m_listener.hasTarget(target))
        return;
    // The peer speaks again, so whatever it still waits for is stale: a late Modbus/TCP answer goes
    // out first (clients know it by its transaction identifier), anything else is dropped, as an RTU
    // frame carries nothing that tells which request it answers.
    const auto pending = m_pending.constFind(target);
    release(target, pending != m_pending.cend() && pending->late && m_link == Tcp);
    m_fault = m_plan.next();
    m_function = packet.functionCode();
    m_exceptionAnswer.clear();
    if (m_fault.kind != FaultPlan::Exception)
        return;
    allow = false;
    m_exceptionAnswer = refusal(packet, target, m_fault.value);
}

ModbusBytes FaultInjector::refusal(const ModbusPacket &request, const ModbusTarget *target, int code)
{
    ModbusPacketReg answer;
    answer.setState(TavrexBus::Response);
    answer.setAddress(request.address());
    answer.setFunctionCode(request.functionCode());
    answer.setExceptionCode(TavrexBus::ExceptionCode(code));
    ModbusBytes bytes;
    m_translator.tryDeparse(target, answer, bytes);
    return bytes;
}

void FaultInjector::onAnswered(const ModbusBytes &request, const Target *target, ModbusBytes *answer)
{
    Q_UNUSED(request);
    const FaultPlan::Fault fault = std::exchange(m_fault, FaultPlan::Fault());
    if (fault.kind == FaultPlan::None || !answer)
        return;
    if (fault.kind == FaultPlan::Exception)
        *answer = m_exceptionAnswer;
    const QString what = apply(fault, target, *answer);
    emit injected(QStringLiteral("fault %1 #%2, function %3: %4")
                      .arg(m_link == Tcp ? QStringLiteral("tcp") : QStringLiteral("rtu"))
                      .arg(m_plan.requests())
                      .arg(m_function)
                      .arg(what));
}

QString FaultInjector::apply(const FaultPlan::Fault &fault, const Target *target, ModbusBytes &answer)
{
    switch (fault.kind) {
    case FaultPlan::Late:
        hold(target, std::exchange(answer, ModbusBytes()), true, fault.value);
        return QStringLiteral("late %1 ms").arg(fault.value);
    case FaultPlan::Garble: {
        if (answer.isEmpty())
            break;
        const int index = garbledIndex(answer);
        const auto before = quint8(answer.at(index));
        answer[index] = char(before ^ (1 + m_plan.bounded(255)));
        return QStringLiteral("garble byte %1 (%2 to %3)")
            .arg(index)
            .arg(hexByte(before), hexByte(quint8(answer.at(index))));
    }
    case FaultPlan::Partial: {
        if (answer.size() < 2)
            break;
        const int size = int(answer.size());
        const int sent = 1 + int(m_plan.bounded(quint32(size - 1)));
        hold(target, answer.mid(sent), false, fault.value);
        answer.truncate(sent);
        return QStringLiteral("partial %1 of %2 bytes, the rest after %3 ms").arg(sent).arg(size).arg(fault.value);
    }
    case FaultPlan::Stray: {
        ModbusBytes noise;
        for (int i = 0; i < fault.value; ++i)
            noise.append(char(m_plan.bounded(256)));
        answer.prepend(noise);
        return QStringLiteral("stray %1 bytes (%2)").arg(fault.value).arg(QString::fromLatin1(noise.toHex(' ')));
    }
    case FaultPlan::Exception:
        return QStringLiteral("exception %1").arg(fault.value);
    case FaultPlan::Close:
        answer.clear();
        // A serial line has no connection to close: the request just goes unanswered.
        if (m_link == Tcp)
            closePeer(target);
        return QStringLiteral("close");
    default:
        answer.clear();
        return QStringLiteral("silent");
    }
    return QStringLiteral("%1 (no answer to disturb)").arg(FaultPlan::kindName(fault.kind));
}

int FaultInjector::garbledIndex(const ModbusBytes &answer)
{
    const int span = m_link == Tcp ? qMin(int(answer.size()), TcpCheckedBytes) : int(answer.size());
    return int(m_plan.bounded(quint32(span)));
}

void FaultInjector::hold(const Target *target, const ModbusBytes &bytes, bool late, int msecs)
{
    release(target, false);
    if (bytes.isEmpty())
        return;
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, target] { release(target, true); });
    m_pending.insert(target, { bytes, late, timer });
    timer->start(msecs);
}

void FaultInjector::release(const Target *target, bool send)
{
    const Pending pending = m_pending.take(target);
    if (!pending.timer)
        return;
    pending.timer->stop();
    pending.timer->deleteLater();
    // A serial line has one speaker at a time: once the client talks again, the answer is stale.
    if (send && (m_link == Tcp || m_listener.bytesAvailable(target) == 0))
        m_listener.sendBytes(pending.bytes, target, nullptr, nullptr);
}

// The close waits until the server has finished the request.
void FaultInjector::closePeer(const Target *target)
{
    auto *server = qobject_cast<ModbusTcpServer *>(&m_listener);
    const QPointer<Target> peer = const_cast<Target *>(target);
    if (server)
        QMetaObject::invokeMethod(
            server, [server, peer] { if (peer) server->disconnectPeer(peer); }, Qt::QueuedConnection);
}
