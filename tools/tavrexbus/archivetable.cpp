#include "archivetable.h"

#include "valuecodec.h"

#include <TavrexBus1/modbusarchreader.h>
#include <TavrexBus1/modbusarchrecord.h>

#include <QtCore/QTextStream>

namespace {

const QString timeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

QString cellText(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QDateTime: return value.toDateTime().toString(timeFormat);
    case QMetaType::Float: return QString::number(value.toFloat(), 'g', 7);
    case QMetaType::Double: return QString::number(value.toDouble(), 'f', 3);
    default: return value.toString();
    }
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

} // namespace

ArchiveTable::ArchiveTable(const ModbusArchReader &reader, ModbusArchRecord &record, bool time)
{
    // The record's own rows (label, value, exists) say nothing a meter's fields do not.
    QList<RoleItem> fields;
    for (const RoleItem &row : record.roles()) {
        if (row.role != ModbusItemBase::LabelRole && row.role != 0 && row.role != ModbusArchRecord::ExistsRole)
            fields.append(row);
    }
    m_header << QStringLiteral("label");
    for (const RoleItem &field : std::as_const(fields))
        m_header << QString::fromLatin1(field.name);
    if (fields.isEmpty())
        m_header << QStringLiteral("bytes");
    const ModbusBytesArray records = reader.collected();
    const QList<quint32> labels = reader.collectedLabels();
    for (qsizetype i = 0; i < records.size(); ++i) {
        QStringList row{time ? TavrexBus::archLabelToTime(labels.value(i)).toString(timeFormat)
                             : QString::number(labels.value(i))};
        for (const RoleItem &field : std::as_const(fields))
            row << cellText(record.data(records.at(i), field.role));
        if (fields.isEmpty())
            row << ValueCodec::toHex(records.at(i));
        m_rows.append(row);
    }
}

void ArchiveTable::print(QTextStream &out, bool csv) const
{
    if (csv) {
        for (const QStringList &row : QList<QStringList>{m_header} + m_rows) {
            QStringList fields;
            for (const QString &text : row)
                fields << csvField(text);
            out << fields.join(QLatin1Char(',')) << Qt::endl;
        }
        return;
    }
    QList<qsizetype> widths(m_header.size(), 0);
    for (const QStringList &row : QList<QStringList>{m_header} + m_rows) {
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = qMax(widths.at(i), row.at(i).size());
    }
    for (const QStringList &row : QList<QStringList>{m_header} + m_rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += (i ? QStringLiteral("  ") : QString()) + row.at(i).leftJustified(widths.at(i));
        out << line.trimmed() << Qt::endl;
    }
}
