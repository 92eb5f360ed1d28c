#ifndef EKSITESTABLE_P_H
#define EKSITESTABLE_P_H

#include "modbusbytes.h"

#include <QtCore/qmap.h>
#include <QtCore/qstringlist.h>

// The meter's sites table: maxSitesCount records of three UTF-8 name fields (2 * maxNameSize bytes
// each), reserved zero bytes and a CRC. Kept apart from the model so that it can be fuzzed alone.
namespace EkSitesTable {

using Sites = QMap<quint16, QStringList>;

// Records with a bad CRC or an empty site name are free; a table of the wrong length is empty.
Sites decode(const ModbusBytes &bytes, int maxNameSize, int reservedBytesCount, int maxSitesCount);
ModbusBytes encode(const Sites &sites, int maxNameSize, int reservedBytesCount, int maxSitesCount);
// A subgroup never stands under an empty group.
void clearUnderEmptyGroup(QStringList &path);

}

#endif
