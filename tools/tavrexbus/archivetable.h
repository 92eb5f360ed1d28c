#ifndef ARCHIVETABLE_H
#define ARCHIVETABLE_H

#include <QtCore/QStringList>

class ModbusArchReader;
class ModbusArchRecord;
class QTextStream;

// The records a range reading collected, one row each: the label, then the record's fields (a meter
// record's named values) or its bytes. Printed as aligned columns or as CSV.
class ArchiveTable
{
public:
    ArchiveTable(const ModbusArchReader &reader, ModbusArchRecord &record, bool time);

    void print(QTextStream &out, bool csv) const;

private:
    QStringList m_header;
    QList<QStringList> m_rows;
};

#endif
