#ifndef PACKETDISPATCHER_H
#define PACKETDISPATCHER_H

#include "errobject.h"
#include "qtavrexobject.h"

class IPacket;
class Target;

/// Consulted by the translator for every packet that comes in or goes out; a dispatcher
/// may veto it by setting cancel.
class TAVREXBUS1_EXPORT PacketDispatcher : public ErrObject, public QTavrexObject
{
    Q_OBJECT
public:
    /// A dispatcher with no error reported.
    explicit PacketDispatcher(QObject *parent = nullptr);
    ~PacketDispatcher() override;

public Q_SLOTS:
    /// Called for every packet that arrives from target; set cancel to drop it.
    virtual void onPacketReceiving(const IPacket &packet, const Target *target, bool &cancel) = 0;
    /// Called for every packet about to go to target; set cancel to keep it from being sent.
    virtual void onPacketSending(const IPacket &packet, const Target *target, bool &cancel) = 0;
};

#endif // PACKETDISPATCHER_H
