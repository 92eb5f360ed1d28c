#ifndef MODBUSTCPPACKETDISPATCHER_H
#define MODBUSTCPPACKETDISPATCHER_H

#include "packetdispatcher.h"

/// Modbus/TCP lets every packet through.
class TAVREXBUS1_EXPORT ModbusTCPPacketDispatcher : public PacketDispatcher
{
    Q_OBJECT
public:
    explicit ModbusTCPPacketDispatcher(QObject *parent = nullptr);
    ~ModbusTCPPacketDispatcher() override;

    QString toString(bool oneLine) const override;

public Q_SLOTS:
    void onPacketReceiving(const IPacket &packet, const Target *target, bool &cancel) override;
    void onPacketSending(const IPacket &packet, const Target *target, bool &cancel) override;
};

#endif // MODBUSTCPPACKETDISPATCHER_H
