#include "modbusloopbackserver.h"

#include "threadcall_p.h"

#include <QtCore/QCoreApplication>

ModbusLoopbackServer::ModbusLoopbackServer(QObject *parent)
    : ModbusTransport(TavrexBus::ServerBus, parent, false)
{
}

ModbusLoopbackServer::~ModbusLoopbackServer()
{
    retire();
}

// A client waiting on another thread for an answer is let go without one.
void ModbusLoopbackServer::retire()
{
    withdraw([this] { QCoreApplication::removePostedEvents(this, QEvent::MetaCall); });
}

ModbusTarget *ModbusLoopbackServer::target()
{
    return &m_target;
}

// The receivers (transporter, translator, handlers) live with the server; the caller waits for
// them so the answer is there when this returns.
bool ModbusLoopbackServer::emulateBytesReceived(const ModbusBytes &bytes, ModbusBytes &answer, QString *error)
{
    answer.clear();
    return callOnOwnerThread(this, [&] { answerRequest(bytes, answer); }, error);
}

void ModbusLoopbackServer::answerRequest(const ModbusBytes &bytes, ModbusBytes &answer)
{
    emit bytesReceived(bytes, &m_target);
    emit requestBytesReceived(bytes, &m_target, &answer);
    if (!answer.isEmpty())
        return;
    QString textAnswer;
    emit read(QString::fromLatin1(bytes.toHex(' ')), &m_target, textAnswer);
    if (!textAnswer.isEmpty())
        answer = ModbusBytes::fromModbusString(textAnswer);
}

bool ModbusLoopbackServer::hasTarget(const Target *target)
{
    return target == &m_target;
}

int ModbusLoopbackServer::targetsCount() const
{
    return 1;
}

int ModbusLoopbackServer::bytesAvailable(const Target *)
{
    return 0;
}

bool ModbusLoopbackServer::sendBytes(const ModbusBytes &, const Target *, ModbusBytes *, QString *error)
{
    setErrorString(tr("you can't send bytes through ModbusLoopbackServer, only answer for requests"), error);
    return false;
}

QString ModbusLoopbackServer::toString(bool) const
{
    return QStringLiteral("ModbusLoopbackServer");
}

bool ModbusLoopbackServer::connectTransportInternal()
{
    return true;
}

bool ModbusLoopbackServer::disconnectTransportInternal()
{
    return true;
}
