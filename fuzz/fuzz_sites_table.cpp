// The sites table decoder: the first three bytes pick the name size, the reserved bytes and the
// number of records; the rest, cut or padded to that table's length, is the table.
#include "eksitestable_p.h"
#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const int nameSize = data[0] % 24;
    const int reserved = data[1] % 40;
    const int count = 1 + data[2] % 24;
    const int record = 6 * nameSize + reserved + 2;
    QByteArray table(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));
    // Whole records, each made valid by its CRC when the input's last byte is odd, so that both
    // the names and the CRC check are reached.
    table = table.leftJustified(qsizetype(record) * count, '\0', true);
    if (size > 3 && (data[size - 1] & 1)) {
        for (int i = 0; i < count; ++i) {
            ModbusBytes head(table.mid(i * record, record - 2));
            head.appendUInt16(qChecksumModbus(head));
            table.replace(i * record, record, head);
        }
    }
    const EkSitesTable::Sites first = EkSitesTable::decode(ModbusBytes(table), nameSize, reserved, count);
    for (auto site = first.cbegin(); site != first.cend(); ++site) {
        if (site.key() >= count || site->size() != 3 || site->at(2).isEmpty())
            FuzzCheck::fail("decoded site outside the table or without a name", table);
        if (site->at(0).isEmpty() && !site->at(1).isEmpty())
            FuzzCheck::fail("subgroup under an empty group", table);
    }
    // Written and read again, the table settles after one round: names are cut to their fields once.
    const ModbusBytes image = EkSitesTable::encode(first, nameSize, reserved, count);
    if (image.size() != qsizetype(record) * count)
        FuzzCheck::fail("table image of the wrong length", table);
    const EkSitesTable::Sites second = EkSitesTable::decode(image, nameSize, reserved, count);
    for (quint16 key : second.keys()) {
        if (!first.contains(key))
            FuzzCheck::fail("a site appeared on writing", table);
    }
    if (EkSitesTable::decode(EkSitesTable::encode(second, nameSize, reserved, count), nameSize, reserved, count)
        != second) {
        FuzzCheck::fail("table does not settle after one round", table);
    }
    return 0;
}
