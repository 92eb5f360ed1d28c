#ifndef TAVREXBUS1_CUSTOMFIELDEVENT_H
#define TAVREXBUS1_CUSTOMFIELDEVENT_H

#include "tavrexbus1global.h"

#include <QtCore/QObject>
#include <QtCore/QString>

/// The argument of an exporter's request for a custom field: a handler reads where the field goes
/// and fills in its value.
class TAVREXBUS1_EXPORT CustomFieldEvent : public QObject
{
    Q_OBJECT
    /// The field's text, filled in by the handler.
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
    /// The field's index among the custom fields.
    Q_PROPERTY(int index READ index WRITE setIndex NOTIFY indexChanged)
    /// The row the field is asked for.
    Q_PROPERTY(int rowIndex READ rowIndex WRITE setRowIndex NOTIFY rowIndexChanged)

public:
    explicit CustomFieldEvent(QObject *parent = nullptr);

    QString value() const;
    void setValue(const QString &value);
    int index() const;
    void setIndex(int index);
    int rowIndex() const;
    void setRowIndex(int rowIndex);

Q_SIGNALS:
    void valueChanged(const QString &value);
    void indexChanged(int index);
    void rowIndexChanged(int rowIndex);
    /// The column the field is placed in moved.
    void columnIndexChanged(int columnIndex);

private:
    QString m_value;
    int m_index = 0;
    int m_rowIndex = 0;
};

#endif
