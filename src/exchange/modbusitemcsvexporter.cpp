#include "modbusitemcsvexporter.h"

#include "customfieldevent.h"
#include "internalitemmodel.h"
#include "modbusitembase.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qfile.h>
#include <QtCore/qstringconverter.h>

#include <algorithm>

namespace {

bool isUnicode(const QString &encoding)
{
    const auto known = QStringConverter::encodingForName(encoding.toLatin1().constData());
    return known && *known != QStringConverter::Latin1 && *known != QStringConverter::System;
}

} // namespace

ModbusItemCSVExporter::ModbusItemCSVExporter(QObject *parent)
    : ModbusItemExporter(parent)
    , m_customFieldEvent(new CustomFieldEvent(this))
{
}

QString ModbusItemCSVExporter::formatCell(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    case QMetaType::Float:
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'f', 3).replace(QLatin1Char('.'), QLatin1Char(','));
    default:
        return value.toString();
    }
}

QString ModbusItemCSVExporter::quote(const QString &field)
{
    QString text = field;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QList<ModbusItemCSVExporter::Column> ModbusItemCSVExporter::columns(const QAbstractItemModel &model) const
{
    const int modelColumns = model.columnCount();
    // Each custom field goes before the model column its index names; equal indexes keep list order.
    QList<QPair<int, Column>> customs;
    for (const QVariant &field : m_customFields) {
        const QVariantMap map = field.toMap();
        const int index = map.value(QStringLiteral("index")).toInt();
        customs.append({ std::clamp(index, 0, modelColumns),
                         { Column::Custom, -1, index, map.value(QStringLiteral("name")).toString() } });
    }
    std::stable_sort(customs.begin(), customs.end(), [](const auto &a, const auto &b) { return a.first < b.first; });

    QList<Column> list;
    if (m_indexColumn)
        list.append({ Column::Index, -1, -1, QStringLiteral("#") });
    auto custom = customs.cbegin();
    for (int c = 0; c <= modelColumns; ++c) {
        for (; custom != customs.cend() && custom->first == c; ++custom)
            list.append(custom->second);
        if (c < modelColumns)
            list.append({ Column::Model, c, -1, model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() });
    }
    return list;
}

QString ModbusItemCSVExporter::cell(const QAbstractItemModel &model, const Column &column, int row)
{
    switch (column.kind) {
    case Column::Index:
        return QString::number(row + 1);
    case Column::Model:
        return formatCell(model.data(model.index(row, column.modelColumn), Qt::DisplayRole));
    case Column::Custom:
        m_customFieldEvent->setIndex(column.customIndex);
        m_customFieldEvent->setValue(QString());
        m_customFieldEvent->setRowIndex(row);
        emit customField(m_customFieldEvent);
        return m_customFieldEvent->value();
    }
    return QString();
}

bool ModbusItemCSVExporter::startInternal()
{
    const bool unicode = isUnicode(m_encoding);
    QStringEncoder encoder(m_encoding.toLatin1().constData(),
                           unicode && m_useBom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    if (!encoder.isValid()) {
        setErrorString(tr("unknown encoding %1").arg(m_encoding));
        return false;
    }
    if (!item()) {
        setErrorString(tr("item doesn't set"));
        return false;
    }
    QFile file(m_fileName);
    if (file.exists() && !file.remove()) {
        setErrorString(tr("can't remove file %1: %2").arg(m_fileName, file.errorString()));
        return false;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        setErrorString(tr("can't open file %1: %2").arg(m_fileName, file.errorString()));
        return false;
    }
    emit started();

    const QAbstractItemModel &model = *item()->model();
    const QList<Column> list = columns(model);
    const auto writeLine = [&](const QStringList &fields) {
        QString line = fields.join(QLatin1Char(';'));
        if (!unicode)
            line.replace(QChar(0x00B2), QLatin1Char('2')).replace(QChar(0x00B3), QLatin1Char('3'));
        line += QLatin1Char('\n');
        const QByteArray bytes = encoder.encode(line);
        return file.write(bytes) == bytes.size();
    };
    QStringList fields;
    for (const Column &column : list)
        fields << quote(column.caption);
    bool written = writeLine(fields);
    const int rows = model.rowCount();
    for (int row = 0; written && row < rows; ++row) {
        fields.clear();
        for (const Column &column : list)
            fields << quote(cell(model, column, row));
        written = writeLine(fields);
    }
    if (!written || !file.flush()) {
        setErrorString(tr("can't write file %1: %2").arg(m_fileName, file.errorString()));
        return false;
    }
    return true;
}

void ModbusItemCSVExporter::setFileName(const QString &fileName)
{
    if (m_fileName == fileName)
        return;
    m_fileName = fileName;
    emit fileNameChanged(fileName);
}

void ModbusItemCSVExporter::setCustomFields(const QVariantList &fields)
{
    if (m_customFields == fields)
        return;
    m_customFields = fields;
    emit customFieldsChanged(fields);
}

void ModbusItemCSVExporter::setIndexColumn(bool indexColumn)
{
    if (m_indexColumn == indexColumn)
        return;
    m_indexColumn = indexColumn;
    emit indexColumnChanged(indexColumn);
}

void ModbusItemCSVExporter::setEncoding(const QString &encoding)
{
    if (m_encoding == encoding)
        return;
    m_encoding = encoding;
    emit encodingChanged(encoding);
}

void ModbusItemCSVExporter::setUseBom(bool useBom)
{
    if (m_useBom == useBom)
        return;
    m_useBom = useBom;
    emit useBomChanged(useBom);
}
