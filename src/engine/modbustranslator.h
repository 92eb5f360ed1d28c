#ifndef MODBUSTRANSLATOR_H
#define MODBUSTRANSLATOR_H

#include "errobject.h"
#include "modbusbytes.h"
#include "modbuspacket.h"
#include "modbusparseinfo.h"
#include "modbustarget.h"
#include "modbustranslateoptions.h"
#include "qtavrexobject.h"

#include <QtCore/QList>

#include <memory>
#include <mutex>

class ModbusDeparser;
class ModbusParser;
class ModbusTransport;
class ModbusTransporter;
class PacketDispatcher;
class Target;
class Transport;
class TransportLease;

/// Turns request packets into frames for the transport of their target and answers back into
/// packets (client role), and incoming request frames into packets for the application and its
/// answers back into frames (server role). Every packet that passes is offered to observers,
/// which may veto it through a direct connection.
///
/// Registered in QML as the uncreatable type `ModbusTranslator` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT ModbusTranslator : public ErrObject, public QTavrexObject
{
    Q_OBJECT

public:
    /// A translator with no transport.
    explicit ModbusTranslator(QObject *parent = nullptr);
    ~ModbusTranslator() override;

    /// Drives transport; createParsers adds its framing's parser and deparser, addAsChild hands ownership over.
    void addTransport(ModbusTransport &transport, bool createParsers = true, bool addAsChild = false);
    /// Uses parser for frames of transport; false when already added.
    bool addParser(ModbusParser &parser, const Transport &transport);
    /// Uses deparser for packets to transport; false when already added.
    bool addDeparser(ModbusDeparser &deparser, const Transport &transport);
    /// Offers the packets of transport to dispatcher; false when already added.
    bool addPacketDispatcher(PacketDispatcher &dispatcher, const Transport &transport);
    /// Stops using parser; false when it was not added.
    bool removeParser(const ModbusParser &parser);
    /// Stops using deparser; false when it was not added.
    bool removeDeparser(const ModbusDeparser &deparser);
    /// Stops offering packets to dispatcher; false when it was not added.
    bool removePacketDispatcher(const PacketDispatcher &dispatcher);

    /// Listens to the traffic of transporter.
    void registerTransporter(ModbusTransporter &transporter);
    /// Stops listening to transporter.
    void unregisterTransporter(ModbusTransporter &transporter);
    /// Sends through transporter from now on.
    void setTransporter(ModbusTransporter &transporter);
    /// The transporter packets go through.
    ModbusTransporter *transporter() const;

    /// The parser that reads bytes from target; null when none does.
    ModbusParser *getParser(const ModbusTarget *target, const ModbusBytes &bytes,
                            TavrexBus::PacketState state) const;
    /// The deparser that writes packet for target; null when none does.
    ModbusDeparser *getDeparser(const ModbusTarget *target, const ModbusPacket &packet) const;
    /// Writes packet for target into bytes; false with errorString() on refusal.
    bool tryDeparse(const ModbusTarget *target, const ModbusPacket &packet, ModbusBytes &bytes);

    QString toString(bool oneLine = false) const override;

public Q_SLOTS:
    /// Forgets a parser, deparser or dispatcher that was destroyed.
    void onSomeoneDeleted(QObject *sender);
    /// Sends packet to target without waiting for an answer.
    bool send(ModbusTarget *target, const ModbusPacket &packet);
    /// The returned answer belongs to the caller; null when the exchange failed (see errorString()).
    ModbusPacket *sendAndReceive(ModbusPacket &packet, const ModbusTarget *target = nullptr);
    /// Sends packet and returns the checked answer packet, owned by the caller; null with errorString() on
    /// failure.
    ModbusPacket *sendAndReceive(ModbusPacket &packet, const ModbusParseInfo &parseInfo,
                                 const ModbusTarget *target = nullptr);
    /// Turns request bytes from target into a packet for the application and its answer into answerBytes.
    void onRequestBytesReceived(ModbusBytes bytes, const Target *target, ModbusBytes *answerBytes);
    /// Reports message as this translator's error.
    void onError(QString message);
    /// Forgets the parsers and deparsers of transport.
    void onTransportRemoving(Transport &transport);

Q_SIGNALS:
    /// A packet arrived from target; set allow to false to drop it.
    void packetReceiving(const ModbusPacket &packet, const ModbusTarget *target, bool &allow);
    /// A packet arrived from target and was accepted.
    void packetReceived(const ModbusPacket &packet, const ModbusTarget *target);
    /// A receiver may store a new answer in *answerPacket; the translator takes it over.
    void packetRequestReceived(ModbusPacket &packet, ModbusTranslateOptions &options,
                               ModbusPacket **answerPacket = nullptr);
    /// A packet is about to go to target; set allow to false to keep it back.
    void packetSending(const ModbusPacket &packet, const ModbusTarget *target, bool &allow);
    /// A packet went to target.
    void packetSent(const ModbusPacket &packet, const ModbusTarget *target);

private:
    template <typename T>
    struct Entry
    {
        const Transport *transport;
        T *object;
        QObject *qobject;
    };
    template <typename T>
    bool addEntry(QList<Entry<T>> &list, T &object, const Transport &transport);
    template <typename T>
    bool removeEntries(QList<Entry<T>> &list, const QObject *object);

    TransportLease leaseFor(const ModbusTarget *target) const;
    TransportLease leaseOf(const ModbusTarget *target) const;
    static ModbusTransport *modbusTransport(const TransportLease &lease);
    ModbusParser *parserFor(const Transport *transport, const ModbusBytes &bytes, TavrexBus::PacketState state) const;
    ModbusDeparser *deparserFor(const Transport *transport, const ModbusPacket &packet) const;
    bool deparse(const Transport *transport, const ModbusTarget *target, const ModbusPacket &packet,
                 ModbusBytes &bytes);
    bool checkClientTransport(const ModbusTransport *transport);
    bool allowSending(const ModbusPacket &packet, const ModbusTarget *target);
    ModbusPacket *decodeAnswer(const ModbusTransport &transport, const ModbusBytes &answerBytes,
                               const ModbusPacket &request, const ModbusParseInfo &parseInfo,
                               const ModbusTarget *target);
    ModbusPacket *decodeIncoming(const ModbusBytes &bytes, const ModbusTarget *target,
                                 const ModbusTransport &transport);
    void answerRequest(ModbusPacket &request, const ModbusTarget *target,
                       const ModbusTransport &transport, ModbusBytes *answerBytes);
    std::unique_ptr<ModbusPacket> standardExceptionAnswer(const ModbusBytes &bytes,
                                                          const Transport &transport) const;
    void answerUnservable(const ModbusBytes &bytes, const ModbusTarget *target,
                          const Transport &transport, ModbusBytes *answerBytes);
    bool isAwaiting(const ModbusTarget *target) const;
    void dropTransportEntries(const Transport *transport);

    ModbusTransporter *m_transporter = nullptr;
    QList<Entry<ModbusParser>> m_parsers;
    QList<Entry<ModbusDeparser>> m_deparsers;
    QList<Entry<PacketDispatcher>> m_dispatchers;
    QList<const ModbusTarget *> m_awaitingTargets;
    mutable std::mutex m_awaitingMutex;
};

#endif // MODBUSTRANSLATOR_H
