#ifndef TAVREXBUS1_CUSTOMFIELDEVENT_H
#define TAVREXBUS1_CUSTOMFIELDEVENT_H

#include "tavrexbus1global.h"

#include <QtCore/QObject>
#include <QtCore/QString>

/// The argument of an exporter's request for a custom field: a handler reads where the field goes
/// and fills in its value.
///
/// Registered in QML as the uncreatable type `CustomFieldEvent` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
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
    /// An event with no field data.
    explicit CustomFieldEvent(QObject *parent = nullptr);

    /// Getter of the value property.
    QString value() const;
    /// Setter of the value property.
    void setValue(const QString &value);
    /// Getter of the index property.
    int index() const;
    /// Setter of the index property.
    void setIndex(int index);
    /// Getter of the rowIndex property.
    int rowIndex() const;
    /// Setter of the rowIndex property.
    void setRowIndex(int rowIndex);

Q_SIGNALS:
    /// value changed; the new value is passed.
    void valueChanged(const QString &value);
    /// index changed; the new value is passed.
    void indexChanged(int index);
    /// rowIndex changed; the new value is passed.
    void rowIndexChanged(int rowIndex);
    /// The column the field is placed in moved.
    void columnIndexChanged(int columnIndex);

private:
    QString m_value;
    int m_index = 0;
    int m_rowIndex = 0;
};

#endif
