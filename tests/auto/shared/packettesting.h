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

// One valid message of every function and direction the library speaks: the packet a
// builder is given, its PDU, and the packet parsing that PDU gives back (answers of
// functions 6 and 16 do not keep the echoed fields).
struct Sample
{
    const char *name = nullptr;
    TavrexBus::PacketState state = TavrexBus::Request;
    quint16 requestCount = 1;
    TavrexBus::ArchType archType = TavrexBus::IndexArch;
    PacketFactory built;
    const char *pdu = nullptr;
    PacketFactory parsed;
};

QList<Sample> samples();

} // namespace PacketTesting

Q_DECLARE_METATYPE(PacketTesting::PacketFactory)
Q_DECLARE_METATYPE(PacketTesting::Sample)

#endif // PACKETTESTING_H
