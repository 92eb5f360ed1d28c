#ifndef FUZZCHECK_H
#define FUZZCHECK_H

#include "modbuspacket.h"
#include "modbusparseinfo.h"
#include "modbusrtudeparser.h"
#include "modbusrtuparser.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

// Properties every accepted input must keep; a broken one aborts, which libFuzzer records.
namespace FuzzCheck {

[[noreturn]] inline void fail(const char *what, const ModbusBytes &bytes)
{
    std::fprintf(stderr, "%s: %s\n", what, bytes.toHex(' ').constData());
    std::abort();
}

// The bytes in a heap block of their exact size, so a read past the end is caught.
inline ModbusBytes view(const uint8_t *data, size_t size)
{
    return ModbusBytes(QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                               qsizetype(size)));
}

inline std::unique_ptr<ModbusPacket> parsePdu(const ModbusParser &parser, const ModbusBytes &pdu,
                                              const ModbusParseInfo &info)
{
    try {
        std::unique_ptr<ModbusPacket> packet(parser.createPacket(pdu, info));
        parser.parseModbusPDU(pdu, info, *packet);
        return packet;
    } catch (const QString &) {
        return nullptr;
    }
}

inline bool buildPdu(const ModbusDeparser &deparser, const ModbusPacket &packet, ModbusBytes &out)
{
    try {
        deparser.deparseModbusPDU(packet, out);
        return true;
    } catch (const QString &) {
        return false;
    }
}

// A packet that parsed and can be written again must give a PDU that parses and writes
// back to the same bytes. Fields the parser does not keep may change once, never twice.
inline void checkPduRoundTrip(const ModbusParser &parser, const ModbusDeparser &deparser,
                              const ModbusPacket &packet, const ModbusParseInfo &info)
{
    ModbusBytes first;
    if (!buildPdu(deparser, packet, first))
        return;
    if (!parser.ModbusParser::canParse(first, info.state()))
        fail("rebuilt PDU is not complete", first);
    const auto again = parsePdu(parser, first, info);
    if (!again)
        fail("rebuilt PDU does not parse", first);
    ModbusBytes second;
    if (!buildPdu(deparser, *again, second) || second != first)
        fail("rebuilt PDU changes when written again", first);
}

inline void checkPdu(const uint8_t *data, size_t size, const ModbusParseInfo &info)
{
    static ModbusRTUParser parser;
    static ModbusRTUDeparser deparser;
    const ModbusBytes pdu = view(data, size);
    const bool whole = parser.ModbusParser::canParse(pdu, info.state());
    const auto packet = parsePdu(parser, pdu, info);
    if (packet && !whole && !packet->hasException())
        fail("parsed a PDU that canParse refused", pdu);
    if (packet)
        checkPduRoundTrip(parser, deparser, *packet, info);
}

} // namespace FuzzCheck

#endif // FUZZCHECK_H
