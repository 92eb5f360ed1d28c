#ifndef MODBUSTCPPACKETDISPATCHER_H
#define MODBUSTCPPACKETDISPATCHER_H

#include "packetdispatcher.h"

/// Modbus/TCP lets every packet through.
class TAVREXBUS1_EXPORT ModbusTCPPacketDispatcher : public PacketDispatcher
{
    Q_OBJECT
public:
    /// A dispatcher that lets every packet through.
    explicit ModbusTCPPacketDispatcher(QObject *parent = nullptr);
    ~ModbusTCPPacketDispatcher() override;

    QString toString(bool oneLine) const override;

public Q_SLOTS:
    /// Lets the packet through.
    void onPacketReceiving(const IPacket &packet, const Target *target, bool &cancel) override;
    /// Lets the packet through.
    void onPacketSending(const IPacket &packet, const Target *target, bool &cancel) override;
};

#endif // MODBUSTCPPACKETDISPATCHER_H
