#include "archcheck.h"

#include "modbuspacketarch.h"
#include "modbuspacketarchpresence.h"

// An answer to an archive request: byte 0 picks the function (65, 66 or 67), an exception answer (bit 6)
// and the archive type (bit 7), byte 1 the records the request asked for; the rest follows the function
// code. Records that parse are split evenly and decode as meter records.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uchar function = uchar((65 + data[0] % 3) | (data[0] & 0x40 ? 0x80 : 0));
    const auto type = data[0] & 0x80 ? TavrexBus::TimeArch : TavrexBus::IndexArch;
    const quint16 asked = data[1];
    ModbusBytes pdu = ModbusBytes::fromByte(function) + FuzzCheck::view(data + 2, size - 2);
    pdu.squeeze();
    static ModbusRTUParser parser;
    static ModbusRTUDeparser deparser;
    const ModbusParseInfo info(TavrexBus::Response, asked, type);
    const auto packet = FuzzCheck::parsePdu(parser, pdu, info);
    if (!packet)
        return 0;
    FuzzCheck::checkPduRoundTrip(parser, deparser, *packet, info);
    if (const auto *records = dynamic_cast<const ModbusPacketArch *>(packet.get())) {
        const qsizetype expected = packet->hasException() ? 0 : qMax<qsizetype>(asked, 1);
        if (records->records().size() != expected)
            FuzzCheck::fail("records do not match the count asked for", pdu);
        for (const ModbusBytes &record : records->records()) {
            if (record.size() != records->records().constFirst().size())
                FuzzCheck::fail("records of different sizes", pdu);
            ArchCheck::checkRecord(record);
        }
    } else if (const auto *presence = dynamic_cast<const ModbusPacketArchPresence *>(packet.get())) {
        if (presence->labels().toArchLabels(0, -1).size() > (pdu.size() - 2) / 4)
            FuzzCheck::fail("more labels than the answer holds", pdu);
    }
    return 0;
}
