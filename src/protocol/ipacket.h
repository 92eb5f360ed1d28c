#ifndef IPACKET_H
#define IPACKET_H

#include "qtavrexobject.h"
#include "tavrexbus1global.h"

/// Interface of every decoded message; owned and deleted through this type.
class TAVREXBUS1_EXPORT IPacket : public QTavrexObject
{
public:
    IPacket() = default;
    /// Copies a packet.
    IPacket(const IPacket &) = default;
    /// Copies a packet.
    IPacket &operator=(const IPacket &) = default;
    virtual ~IPacket();
};

#endif // IPACKET_H
