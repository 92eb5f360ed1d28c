#include "eksitestable_p.h"

namespace EkSitesTable {

void clearUnderEmptyGroup(QStringList &path)
{
    if (path.at(0).isEmpty())
        path[1].clear();
}

Sites decode(const ModbusBytes &bytes, int maxNameSize, int reservedBytesCount, int maxSitesCount)
{
    Sites sites;
    if (maxNameSize < 0 || reservedBytesCount < 0 || maxSitesCount <= 0 || maxNameSize > bytes.size())
        return sites;
    const int field = 2 * maxNameSize;
    const qint64 record = 3 * qint64(field) + reservedBytesCount + 2;
    if (bytes.size() != record * maxSitesCount)
        return sites;
    for (int i = 0; i < maxSitesCount && i <= 0xFFFF; ++i) {
        const ModbusBytes rec = ModbusBytes(bytes.mid(i * record, record));
        if (!rec.checkCrc16())
            continue;
        QStringList path{ rec.toStringUtf8(0, field), rec.toStringUtf8(field, field),
                          rec.toStringUtf8(2 * field, field) };
        clearUnderEmptyGroup(path);
        if (!path.at(2).isEmpty())
            sites.insert(quint16(i), path);
    }
    return sites;
}

ModbusBytes encode(const Sites &sites, int maxNameSize, int reservedBytesCount, int maxSitesCount)
{
    const int field = 2 * maxNameSize;
    const int record = 3 * field + reservedBytesCount + 2;
    ModbusBytes table;
    table.reserve(qsizetype(record) * maxSitesCount);
    for (int i = 0; i < maxSitesCount; ++i) {
        const auto site = sites.constFind(quint16(i));
        if (site == sites.cend()) {
            table.append(QByteArray(record, '\0'));
            continue;
        }
        ModbusBytes rec;
        for (const QString &name : *site) {
            ModbusBytes bytes = ModbusBytes::fromStringUtf8(name, field);
            bytes.resize(field, true);
            rec.append(bytes);
        }
        rec.append(QByteArray(reservedBytesCount, '\0'));
        rec.appendUInt16(qChecksumModbus(rec));
        table.append(rec);
    }
    return table;
}

}
