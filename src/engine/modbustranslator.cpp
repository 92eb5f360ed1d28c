#include "modbustranslator.h"

#include "framing_p.h"
#include "modbusdeparser.h"
#include "modbuspacketreg.h"
#include "modbusparser.h"
#include "modbusprotocol.h"
#include "modbustransport.h"
#include "modbustransporter.h"
#include "packetdispatcher.h"
#include "tavrexbuslogging_p.h"
#include "threadcall_p.h"
#include "transportlifeline_p.h"


#include <memory>

namespace {

// The standard exception for a request the library cannot serve, or NoException when the
// request is not of that sort.
TavrexBus::ExceptionCode unservableException(const ModbusBytes &pdu)
{
    if (pdu.isEmpty() || (pdu.at(0) & ModbusProtocol::ExceptionFlag))
        return TavrexBus::NoException;
    const auto code = static_cast<TavrexBus::FunctionCode>(pdu.at(0));
    if (!ModbusParser::isFunctionSupported(code))
        return TavrexBus::IllegalFunction;
    // A read asks for a count, a write announces one: both in bytes 3 and 4.
    const bool countIsIn = code == TavrexBus::WriteMultipleRegisters ? pdu.size() >= 6 : pdu.size() == 5;
    return countIsIn ? ModbusProtocol::registerCountException(code, pdu.toUInt16(3)) : TavrexBus::NoException;
}

} // namespace

ModbusTranslator::ModbusTranslator(QObject *parent)
    : ErrObject(parent)
{
    auto *transporter = new ModbusTransporter(this);
    m_transporter = transporter;
    registerTransporter(*transporter);
}

ModbusTranslator::~ModbusTranslator()
{
    // Let the transporter go while this object is whole: its removal signals come back here.
    if (m_transporter) {
        ModbusTransporter *transporter = m_transporter;
        unregisterTransporter(*transporter);
        m_transporter = nullptr;
        if (transporter->parent() == this)
            delete transporter;
    }
}

void ModbusTranslator::addTransport(ModbusTransport &transport, bool createParsers, bool addAsChild)
{
    if (m_transporter)
        m_transporter->addTransport(transport, addAsChild);
    if (!createParsers)
        return;
    if (ModbusParser *parser = transport.createParser(this))
        addParser(*parser, transport);
    if (ModbusDeparser *deparser = transport.createDeparser(this))
        addDeparser(*deparser, transport);
}

template <typename T>
bool ModbusTranslator::addEntry(QList<Entry<T>> &list, T &object, const Transport &transport)
{
    connect(&object, &QObject::destroyed, this, &ModbusTranslator::onSomeoneDeleted, Qt::UniqueConnection);
    for (const Entry<T> &entry : std::as_const(list)) {
        if (entry.object == &object && entry.transport == &transport)
            return false;
    }
    list.append({&transport, &object, &object});
    connect(&object, &ErrObject::error, this, &ModbusTranslator::onError, Qt::UniqueConnection);
    return true;
}

template <typename T>
bool ModbusTranslator::removeEntries(QList<Entry<T>> &list, const QObject *object)
{
    return list.removeIf([object](const Entry<T> &entry) { return entry.qobject == object; }) > 0;
}

bool ModbusTranslator::addParser(ModbusParser &parser, const Transport &transport)
{
    return addEntry(m_parsers, parser, transport);
}

bool ModbusTranslator::addDeparser(ModbusDeparser &deparser, const Transport &transport)
{
    return addEntry(m_deparsers, deparser, transport);
}

bool ModbusTranslator::addPacketDispatcher(PacketDispatcher &dispatcher, const Transport &transport)
{
    return addEntry(m_dispatchers, dispatcher, transport);
}

bool ModbusTranslator::removeParser(const ModbusParser &parser)
{
    disconnect(&parser, nullptr, this, nullptr);
    return removeEntries(m_parsers, &parser);
}

bool ModbusTranslator::removeDeparser(const ModbusDeparser &deparser)
{
    disconnect(&deparser, nullptr, this, nullptr);
    return removeEntries(m_deparsers, &deparser);
}

bool ModbusTranslator::removePacketDispatcher(const PacketDispatcher &dispatcher)
{
    disconnect(&dispatcher, nullptr, this, nullptr);
    return removeEntries(m_dispatchers, &dispatcher);
}

void ModbusTranslator::registerTransporter(ModbusTransporter &transporter)
{
    connect(&transporter, &QObject::destroyed, this, &ModbusTranslator::onSomeoneDeleted);
    // Requests carry an out-argument for the answer, so they are never queued without waiting.
    connect(&transporter, &ModbusTransporter::requestBytesReceived, this,
            [this](ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes) {
                QString error;
                if (!callOnOwnerThread(this, [&] { onRequestBytesReceived(bytes, target, answerBytes); }, &error))
                    qCWarning(lcEngine).noquote() << tr("request left unanswered: %1").arg(error);
            },
            Qt::DirectConnection);
    connect(&transporter, &ErrObject::error, this, &ModbusTranslator::onError);
    connect(&transporter, &ModbusTransporter::transportRemoving, this, &ModbusTranslator::onTransportRemoving);
    connect(&transporter, &ModbusTransporter::transportWithdrawn, this,
            [this](const Transport *transport) { dropTransportEntries(transport); });
}

void ModbusTranslator::unregisterTransporter(ModbusTransporter &transporter)
{
    disconnect(&transporter, nullptr, this, nullptr);
}

void ModbusTranslator::setTransporter(ModbusTransporter &transporter)
{
    if (&transporter == m_transporter)
        return;
    if (ModbusTransporter *old = m_transporter) {
        unregisterTransporter(*old);
        if (old->parent() == this) {
            old->disconnectTransports();
            old->deleteLater();
        }
    }
    m_transporter = &transporter;
    registerTransporter(transporter);
}

ModbusTransporter *ModbusTranslator::transporter() const
{
    return m_transporter;
}

// A transport of another thread may go at any time; a lease keeps it for as long as it is used.
// Without a target, the lease is of the client transport.
TransportLease ModbusTranslator::leaseFor(const ModbusTarget *target) const
{
    if (!m_transporter)
        return {};
    return target ? m_transporter->leaseByTarget(target) : m_transporter->leaseClientTransport();
}

TransportLease ModbusTranslator::leaseOf(const ModbusTarget *target) const
{
    return target ? leaseFor(target) : TransportLease();
}

ModbusTransport *ModbusTranslator::modbusTransport(const TransportLease &lease)
{
    return qobject_cast<ModbusTransport *>(lease.transport());
}

ModbusParser *ModbusTranslator::getParser(const ModbusTarget *target, const ModbusBytes &bytes,
                                          TavrexBus::PacketState state) const
{
    const TransportLease lease = leaseOf(target);
    return parserFor(modbusTransport(lease), bytes, state);
}

ModbusParser *ModbusTranslator::parserFor(const Transport *transport, const ModbusBytes &bytes,
                                          TavrexBus::PacketState state) const
{
    if (!transport)
        return nullptr;
    for (const Entry<ModbusParser> &entry : m_parsers) {
        if (entry.transport == transport && entry.object->canParse(bytes, state))
            return entry.object;
    }
    return nullptr;
}

ModbusDeparser *ModbusTranslator::getDeparser(const ModbusTarget *target, const ModbusPacket &packet) const
{
    const TransportLease lease = leaseOf(target);
    return deparserFor(modbusTransport(lease), packet);
}

ModbusDeparser *ModbusTranslator::deparserFor(const Transport *transport, const ModbusPacket &packet) const
{
    if (!transport)
        return nullptr;
    for (const Entry<ModbusDeparser> &entry : m_deparsers) {
        if (entry.transport == transport && entry.object->canDeparse(packet))
            return entry.object;
    }
    return nullptr;
}

bool ModbusTranslator::tryDeparse(const ModbusTarget *target, const ModbusPacket &packet, ModbusBytes &bytes)
{
    const TransportLease lease = leaseOf(target);
    return deparse(modbusTransport(lease), target, packet, bytes);
}

bool ModbusTranslator::deparse(const Transport *transport, const ModbusTarget *target, const ModbusPacket &packet,
                               ModbusBytes &bytes)
{
    ModbusDeparser *deparser = deparserFor(transport, packet);
    if (!deparser) {
        setErrorString(tr("can't find needed deparser"));
        return false;
    }
    return deparser->deparse(packet, bytes, target);
}

QString ModbusTranslator::toString(bool oneLine) const
{
    return oneLine ? QStringLiteral("Modbus Translator; ") : QStringLiteral("Modbus Translator\n");
}

void ModbusTranslator::onSomeoneDeleted(QObject *sender)
{
    if (sender == m_transporter) {
        disconnect(m_transporter, nullptr, this, nullptr);
        m_transporter = nullptr;
        return;
    }
    removeEntries(m_parsers, sender);
    removeEntries(m_deparsers, sender);
    removeEntries(m_dispatchers, sender);
}

bool ModbusTranslator::allowSending(const ModbusPacket &packet, const ModbusTarget *target)
{
    bool allow = true;
    emit packetSending(packet, target, allow);
    if (!allow) {
        setErrorString(tr("outcoming packet was blocked by dispatcher(s)"));
        return false;
    }
    if (packet.state() != TavrexBus::Request) {
        setErrorString(tr("you must send only 'Request'-state packets"));
        return false;
    }
    return true;
}

bool ModbusTranslator::checkClientTransport(const ModbusTransport *transport)
{
    QString message;
    if (!transport)
        message = tr("can't find transport");
    else if (transport->busType() == TavrexBus::ServerBus)
        message = tr("only modbus client can't send and receive packets");
    else
        return true;
    setErrorString(message);
    return false;
}

bool ModbusTranslator::send(ModbusTarget *target, const ModbusPacket &packet)
{
    if (!allowSending(packet, target))
        return false;
    const TransportLease lease = leaseOf(target);
    ModbusTransport *transport = modbusTransport(lease);
    ModbusBytes bytes;
    if (!deparse(transport, target, packet, bytes) || !checkClientTransport(transport))
        return false;
    emit packetSent(packet, target);
    transport->sendBytes(bytes, target, nullptr, nullptr);
    return true;
}

ModbusPacket *ModbusTranslator::sendAndReceive(ModbusPacket &packet, const ModbusTarget *target)
{
    return sendAndReceive(packet, ModbusParseInfo(TavrexBus::Response), target);
}

ModbusPacket *ModbusTranslator::sendAndReceive(ModbusPacket &packet, const ModbusParseInfo &parseInfo,
                                               const ModbusTarget *target)
{
    // Held until the answer is decoded: the transport may belong to a thread that destroys it.
    const TransportLease lease = leaseFor(target);
    ModbusTransport *transport = modbusTransport(lease);
    if (!target) {
        if (!transport) {
            setErrorString(tr("sendAndReceivePacket: can't find default client transport"));
            return nullptr;
        }
        target = qobject_cast<const ModbusTarget *>(transport->clientTarget());
        if (!target) {
            setErrorString(tr("sendAndReceivePacket: invalid target"));
            return nullptr;
        }
    }
    if (!allowSending(packet, target))
        return nullptr;
    ModbusBytes bytes;
    if (!deparse(transport, target, packet, bytes) || !checkClientTransport(transport))
        return nullptr;
    emit packetSent(packet, target);

    ModbusBytes answerBytes;
    {
        const std::lock_guard locker(m_awaitingMutex);
        m_awaitingTargets.append(target);
    }
    const bool sent = m_transporter->sendBytes(lease, bytes, target, &answerBytes);
    {
        const std::lock_guard locker(m_awaitingMutex);
        m_awaitingTargets.removeOne(target);
    }
    if (!sent || answerBytes.isEmpty())
        return nullptr;
    return decodeAnswer(*transport, answerBytes, packet, parseInfo, target);
}

ModbusPacket *ModbusTranslator::decodeAnswer(const ModbusTransport &transport, const ModbusBytes &answerBytes,
                                             const ModbusPacket &request, const ModbusParseInfo &parseInfo,
                                             const ModbusTarget *target)
{
    ModbusParser *parser = parserFor(&transport, answerBytes, TavrexBus::Response);
    if (!parser) {
        setErrorString(tr("can't find needed parser for bytes: %1;  sent packet: %2")
                           .arg(Framing::hexText(answerBytes), request.toString(true)));
        return nullptr;
    }
    std::unique_ptr<IPacket> parsed(parser->parse(answerBytes, parseInfo, target));
    if (!parsed)
        return nullptr;
    auto *answer = dynamic_cast<ModbusPacket *>(parsed.get());
    if (!answer) {
        setErrorString(tr("ERROR: parser returned wrong packet type"));
        return nullptr;
    }
    if (answer->state() != TavrexBus::Response) {
        setErrorString(tr("received 'non-Response'-state packet"));
        return nullptr;
    }
    bool allow = true;
    emit packetReceiving(*answer, target, allow);
    if (!allow) {
        setErrorString(tr("answer was blocked by dispatcher(s)"));
        return nullptr;
    }
    emit packetReceived(*answer, target);
    parsed.release();
    return answer;
}

bool ModbusTranslator::isAwaiting(const ModbusTarget *target) const
{
    const std::lock_guard locker(m_awaitingMutex);
    return m_awaitingTargets.contains(target);
}

void ModbusTranslator::onRequestBytesReceived(ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes)
{
    const auto *modbusTarget = qobject_cast<const ModbusTarget *>(target);
    if (!modbusTarget || isAwaiting(modbusTarget))
        return;
    const TransportLease lease = leaseOf(modbusTarget);
    ModbusTransport *transport = modbusTransport(lease);
    if (!transport) {
        setErrorString(tr("can't find needed parser2"));
        return;
    }
    std::unique_ptr<ModbusPacket> packet(decodeIncoming(bytes, modbusTarget, *transport));
    if (!packet) {
        if (transport->busType() == TavrexBus::ServerBus)
            answerUnservable(bytes, modbusTarget, *transport, answerBytes);
        return;
    }
    bool allow = true;
    emit packetReceiving(*packet, modbusTarget, allow);
    if (!allow)
        return;
    emit packetReceived(*packet, modbusTarget);
    if (packet->state() == TavrexBus::Request)
        answerRequest(*packet, modbusTarget, *transport, answerBytes);
}

ModbusPacket *ModbusTranslator::decodeIncoming(const ModbusBytes &bytes, const ModbusTarget *target,
                                               const ModbusTransport &transport)
{
    // A client transport hears answers only: unsolicited bytes there are read as answers.
    const TavrexBus::PacketState state =
        transport.busType() == TavrexBus::ClientBus ? TavrexBus::Response : TavrexBus::Request;
    ModbusParser *parser = parserFor(&transport, bytes, state);
    if (!parser) {
        // A request the server answers with a standard exception is not worth a complaint.
        if (state == TavrexBus::Response || !standardExceptionAnswer(bytes, transport))
            setErrorString(tr("can't find needed parser2"));
        return nullptr;
    }
    std::unique_ptr<IPacket> parsed(parser->parse(bytes, ModbusParseInfo(state), target));
    if (!parsed)
        return nullptr;
    auto *packet = dynamic_cast<ModbusPacket *>(parsed.get());
    if (!packet) {
        setErrorString(tr("ERROR: parser returned wrong packet type"));
        return nullptr;
    }
    if (state == TavrexBus::Request && packet->hasException()) {
        setErrorString(tr("received exception packet as a request: %1").arg(Framing::hexText(bytes)));
        return nullptr;
    }
    parsed.release();
    return packet;
}

void ModbusTranslator::answerRequest(ModbusPacket &request, const ModbusTarget *target,
                                     const ModbusTransport &transport, ModbusBytes *answerBytes)
{
    ModbusTranslateOptions options(QDateTime::currentDateTimeUtc(), target, request.address(), transport);
    ModbusPacket *answerSlot = nullptr;
    emit packetRequestReceived(request, options, &answerSlot);
    std::unique_ptr<ModbusPacket> answer(answerSlot);
    if (!answer || !answerBytes)
        return;
    if (answer->state() != TavrexBus::Response) {
        setErrorString(tr("you must answer only by 'Response'-state packets"));
        return;
    }
    if (deparse(&transport, target, *answer, *answerBytes))
        emit packetSent(*answer, target);
}

std::unique_ptr<ModbusPacket> ModbusTranslator::standardExceptionAnswer(const ModbusBytes &bytes,
                                                                        const Transport &transport) const
{
    for (const Entry<ModbusParser> &entry : m_parsers) {
        if (entry.transport != &transport)
            continue;
        quint8 unit = 0;
        ModbusBytes pdu;
        // A frame with a broken envelope (CRC, MBAP header) is noise and gets no answer.
        if (!entry.object->unwrapFrame(bytes, &unit, &pdu))
            continue;
        const TavrexBus::ExceptionCode code = unservableException(pdu);
        if (code == TavrexBus::NoException)
            return nullptr;
        auto answer = std::make_unique<ModbusPacketReg>();
        answer->setFunctionCode(static_cast<TavrexBus::FunctionCode>(pdu.at(0)));
        answer->setExceptionCode(code);
        answer->setState(TavrexBus::Response);
        answer->setAddress(unit);
        return answer;
    }
    return nullptr;
}

void ModbusTranslator::answerUnservable(const ModbusBytes &bytes, const ModbusTarget *target,
                                        const Transport &transport, ModbusBytes *answerBytes)
{
    if (!answerBytes)
        return;
    const std::unique_ptr<ModbusPacket> answer = standardExceptionAnswer(bytes, transport);
    if (!answer)
        return;
    // An exception frame only echoes the function code, so any deparser of the link writes it,
    // even for a function it does not serve.
    for (const Entry<ModbusDeparser> &entry : std::as_const(m_deparsers)) {
        if (entry.transport == &transport && entry.object->deparse(*answer, *answerBytes, target)) {
            emit packetSent(*answer, target);
            return;
        }
    }
}

void ModbusTranslator::onError(QString message)
{
    QObject *from = sender();
    const auto *described = dynamic_cast<const QTavrexObject *>(from);
    if (from != m_transporter && described)
        message += QStringLiteral("  (%1)").arg(described->toString(true));
    setErrorString(message);
}

void ModbusTranslator::dropTransportEntries(const Transport *transport)
{
    // Framing objects made for that transport have no other use; those this translator made go.
    const auto drop = [this, transport](auto &list) {
        for (const auto &entry : std::as_const(list)) {
            if (entry.transport != transport)
                continue;
            disconnect(entry.qobject, nullptr, this, nullptr);
            if (entry.qobject->parent() == this)
                entry.qobject->deleteLater();
        }
        list.removeIf([transport](const auto &entry) { return entry.transport == transport; });
    };
    drop(m_parsers);
    drop(m_deparsers);
    drop(m_dispatchers);
}

void ModbusTranslator::onTransportRemoving(Transport &transport)
{
    disconnect(&transport, nullptr, this, nullptr);
    dropTransportEntries(&transport);
}
