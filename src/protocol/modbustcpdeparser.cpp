#include "modbustcpdeparser.h"
#include "modbuspacket.h"
#include "modbustcptarget.h"

#include <QtCore/QtEndian>

namespace {
constexpr int minFrame = 8;
constexpr int maxFrame = 260;
}

ModbusTCPDeparser::ModbusTCPDeparser(QObject *parent)
    : ModbusDeparser(parent)
{
}

ModbusTCPDeparser::~ModbusTCPDeparser() = default;

QString ModbusTCPDeparser::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("Modbus TCP deparser\n"), oneLine);
}

bool ModbusTCPDeparser::canDeparse(const IPacket &packet) const
{
    return ModbusDeparser::canDeparse(packet);
}

bool ModbusTCPDeparser::deparse(const IPacket &packet, ModbusBytes &out, const Target *target)
{
    try {
        const auto *tcpTarget = qobject_cast<const ModbusTcpTarget *>(target);
        if (!tcpTarget)
            throw tr("ERROR: invalid target class");
        const auto *modbusPacket = dynamic_cast<const ModbusPacket *>(&packet);
        if (!modbusPacket)
            throw tr("ERROR: invalid packet class");
        out.truncate(0);
        out.reserve(maxFrame);
        // Transaction, protocol 0, length (filled in below) and unit.
        char header[7] = {};
        qToBigEndian<quint16>(tcpTarget->transactionID(), header);
        header[6] = char(modbusPacket->address());
        out.append(header, 7);
        appendModbusPDU(*modbusPacket, out);
        if (out.size() < minFrame)
            throw tr("deparsed packet is too short, i don't know why...");
        if (out.size() > maxFrame)
            throw tr("deparsed packet is too large");
        qToBigEndian<quint16>(quint16(out.size() - 6), out.data() + 4);
        return true;
    } catch (const QString &message) {
        out.clear();
        setErrorString(tr("ModbusTCPDeparser parse error: ") + message);
        return false;
    }
}
