#include "modbusrtudeparser.h"
#include "modbuspacket.h"

namespace {
constexpr int maxFrame = 256;
}

ModbusRTUDeparser::ModbusRTUDeparser(QObject *parent)
    : ModbusDeparser(parent)
{
}

ModbusRTUDeparser::~ModbusRTUDeparser() = default;

QString ModbusRTUDeparser::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Modbus RTU deparser\n"), oneLine);
}

bool ModbusRTUDeparser::canDeparse(const IPacket &packet) const
{
    return ModbusDeparser::canDeparse(packet);
}

bool ModbusRTUDeparser::deparse(const IPacket &packet, ModbusBytes &out, const Target *)
{
    try {
        const auto *modbusPacket = dynamic_cast<const ModbusPacket *>(&packet);
        if (!modbusPacket)
            throw tr("ERROR: invalid packet class");
        out.truncate(0);
        out.reserve(maxFrame);
        const char address = char(modbusPacket->address());
        out.append(&address, 1);
        appendModbusPDU(*modbusPacket, out);
        const quint16 crc = qChecksumModbus(out.constData(), uint(out.size()));
        const char crcBytes[2] = { char(crc >> 8), char(crc) };
        out.append(crcBytes, 2);
        if (out.size() <= 3)
            throw tr("deparsed packet is too short, i don't know why...");
        if (out.size() > maxFrame)
            throw tr("deparsed packet is too large");
        return true;
    } catch (const QString &message) {
        out.clear();
        setErrorString(tr("ModbusRTUDeParser deparse error: ") + message);
        return false;
    }
}
