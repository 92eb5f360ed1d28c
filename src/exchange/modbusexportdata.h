#ifndef MODBUSEXPORTDATA_H
#define MODBUSEXPORTDATA_H

#include "tavrexbus1global.h"

#include <QtCore/qhash.h>
#include <QtCore/qmetatype.h>
#include <QtCore/qstring.h>

/// What an exporter or importer hands its storage engine for one item: the class name and export
/// properties that identify the item, and its value text.
struct ModbusExportData
{
    /// Export property name to value text.
    QHash<QString, QString> props;
    /// The item's value text (empty when describing an item to be imported).
    QString value;
    /// The item's class name.
    QString type;
};

Q_DECLARE_METATYPE(ModbusExportData)

#endif
