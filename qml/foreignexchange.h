#ifndef FOREIGNEXCHANGE_H
#define FOREIGNEXCHANGE_H

#include "modbusexportengine.h"
#include "modbusitemcsvexporter.h"
#include "modbusxmlexporter.h"
#include "modbusxmlimporter.h"

#include <QtQml/qqml.h>

// Item values to and from XML files, and item tables to CSV files.

struct ModbusExporterImporterForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusExporterImporter)
    QML_NAMED_ELEMENT(ModbusExporterImporter)
    QML_UNCREATABLE("ModbusExporterImporter is a base of the exporters; declare ModbusXmlExporter or ModbusXmlImporter")
};

struct ModbusExporterForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusExporter)
    QML_NAMED_ELEMENT(ModbusExporter)
    QML_UNCREATABLE("ModbusExporter needs a storage engine; declare ModbusXmlExporter")
};

struct ModbusImporterForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusImporter)
    QML_NAMED_ELEMENT(ModbusImporter)
    QML_UNCREATABLE("ModbusImporter needs a storage engine; declare ModbusXmlImporter")
};

struct ModbusExportEngineForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusExportEngine)
    QML_NAMED_ELEMENT(ModbusExportEngine)
    QML_UNCREATABLE("ModbusExportEngine belongs to an exporter or importer")
};

struct ModbusXmlExporterForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusXmlExporter)
    QML_NAMED_ELEMENT(ModbusXmlExporter)
};

struct ModbusXmlImporterForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusXmlImporter)
    QML_NAMED_ELEMENT(ModbusXmlImporter)
};

struct ModbusItemExporterForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusItemExporter)
    QML_NAMED_ELEMENT(ModbusItemExporter)
    QML_UNCREATABLE("ModbusItemExporter is a base of the table exporters; declare ModbusItemCSVExporter")
};

struct ModbusItemCSVExporterForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusItemCSVExporter)
    QML_NAMED_ELEMENT(ModbusItemCSVExporter)
};

#endif
