#ifndef PACKETTESTING_H
#define PACKETTESTING_H

#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/modbuspacket.h>

#include <QtCore/QString>

#include <functional>

namespace PacketTesting {

// Bytes from text such as "01 03 00 6B".
ModbusBytes hex(const char *text);

// The same bytes in a heap block of exactly their size, so that AddressSanitizer
// reports any read past the end. The block lives until the program ends.
ModbusBytes exact(const QByteArray &bytes);

// Field-by-field equality across the packet classes.
bool equal(const ModbusPacket &a, const ModbusPacket &b);

using PacketFactory = std::function<ModbusPacket *()>;

template<typename T>
PacketFactory make(int code, TavrexBus::PacketState state, std::function<void(T &)> fill)
{
    return [=] {
        auto *packet = new T;
        packet->setFunctionCode(TavrexBus::FunctionCode(code));
        packet->setState(state);
        fill(*packet);
        return packet;
    };
}

// A packet of no class the Modbus framing knows.
class ForeignPacket : public IPacket
{
public:
    QString toString(bool) const override { return QString(); }
};

} // namespace PacketTesting

Q_DECLARE_METATYPE(PacketTesting::PacketFactory)

#endif // PACKETTESTING_H
