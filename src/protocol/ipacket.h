#ifndef IPACKET_H
#define IPACKET_H

#include "qtavrexobject.h"
#include "tavrexbus1global.h"

// Interface of every decoded message; owned and deleted through this type.
class TAVREXBUS1_EXPORT IPacket : public QTavrexObject
{
public:
    IPacket() = default;
    IPacket(const IPacket &) = default;
    IPacket &operator=(const IPacket &) = default;
    virtual ~IPacket();
};

#endif // IPACKET_H
