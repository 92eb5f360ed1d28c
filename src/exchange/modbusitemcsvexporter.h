#ifndef MODBUSITEMCSVEXPORTER_H
#define MODBUSITEMCSVEXPORTER_H

#include "modbusitemexporter.h"

#include <QtCore/qvariant.h>

class CustomFieldEvent;
class QAbstractItemModel;

/// Writes an item's model (its array, its trend or the rows of an archive read) to a CSV file that
/// spreadsheets open directly: every field quoted, fields separated by semicolons.
///
/// Available in QML as `ModbusItemCSVExporter` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusItemCSVExporter : public ModbusItemExporter
{
    Q_OBJECT
    Q_MOC_INCLUDE("customfieldevent.h")
    /// The file written; an existing one is replaced.
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName NOTIFY fileNameChanged)
    /// Extra columns: maps with "index" (model column it goes before) and "name" (caption).
    Q_PROPERTY(QVariantList customFields READ customFields WRITE setCustomFields NOTIFY customFieldsChanged)
    /// A first column "#" numbering the rows from 1 (default true).
    Q_PROPERTY(bool indexColumn READ indexColumn WRITE setIndexColumn NOTIFY indexColumnChanged)
    /// The text encoding, any name the platform knows ("UTF-8", "windows-1251", ...).
    Q_PROPERTY(QString encoding READ encoding WRITE setEncoding NOTIFY encodingChanged)
    /// Start a Unicode file with a byte-order mark (default true).
    Q_PROPERTY(bool useBom READ useBom WRITE setUseBom NOTIFY useBomChanged)

public:
    /// An exporter with no item and no file name, writing UTF-8 with a byte-order mark.
    explicit ModbusItemCSVExporter(QObject *parent = nullptr);

    /// Getter of the fileName property.
    QString fileName() const { return m_fileName; }
    /// Getter of the customFields property.
    QVariantList customFields() const { return m_customFields; }
    /// Getter of the indexColumn property.
    bool indexColumn() const { return m_indexColumn; }
    /// Getter of the encoding property.
    QString encoding() const { return m_encoding; }
    /// Getter of the useBom property.
    bool useBom() const { return m_useBom; }

    /// The text a cell value is written as: date-times "dd/MM/yyyy hh:mm:ss", floating point with
    /// three decimals and a decimal comma, anything else as its string.
    static QString formatCell(const QVariant &value);
    /// The field as written: quoted, with quotes doubled.
    static QString quote(const QString &field);

public Q_SLOTS:
    /// Setter of the fileName property.
    void setFileName(const QString &fileName);
    /// Setter of the customFields property.
    void setCustomFields(const QVariantList &fields);
    /// Setter of the indexColumn property.
    void setIndexColumn(bool indexColumn);
    /// Setter of the encoding property.
    void setEncoding(const QString &encoding);
    /// Setter of the useBom property.
    void setUseBom(bool useBom);

Q_SIGNALS:
    /// fileName changed; the new value is passed.
    void fileNameChanged(const QString &fileName);
    /// customFields changed; the new value is passed.
    void customFieldsChanged(const QVariantList &fields);
    /// indexColumn changed; the new value is passed.
    void indexColumnChanged(bool indexColumn);
    /// encoding changed; the new value is passed.
    void encodingChanged(const QString &encoding);
    /// useBom changed; the new value is passed.
    void useBomChanged(bool useBom);
    /// Asks for the value of a custom field; the handler sets the event's value.
    void customField(CustomFieldEvent *event);

protected:
    bool startInternal() override;

private:
    struct Column
    {
        enum Kind { Index, Model, Custom } kind;
        int modelColumn;
        int customIndex;
        QString caption;
    };
    QList<Column> columns(const QAbstractItemModel &model) const;
    QString cell(const QAbstractItemModel &model, const Column &column, int row);

    QString m_fileName;
    QVariantList m_customFields;
    CustomFieldEvent *m_customFieldEvent;
    bool m_indexColumn = true;
    QString m_encoding = QStringLiteral("UTF-8");
    bool m_useBom = true;
};

#endif
