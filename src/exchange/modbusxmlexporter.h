#ifndef MODBUSXMLEXPORTER_H
#define MODBUSXMLEXPORTER_H

#include "modbusexporter.h"

class ModbusXmlEngine;

/// A ModbusExporter that keeps its values in an XML file.
///
/// Available in QML as `ModbusXmlExporter` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusXmlExporter : public ModbusExporter
{
    Q_OBJECT
    /// The XML file.
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName NOTIFY fileNameChanged)
    /// The format version the file is written in.
    Q_PROPERTY(QString version READ version CONSTANT)

public:
    /// An exporter with an XML engine of its own and no file name yet.
    explicit ModbusXmlExporter(QObject *parent = nullptr);

    /// Getter of the fileName property.
    QString fileName() const;
    /// Getter of the version property.
    QString version() const;
    /// The XML engine; owned by the exporter.
    ModbusXmlEngine *xmlEngine() const { return m_engine; }

public Q_SLOTS:
    /// Setter of the fileName property.
    void setFileName(const QString &fileName);

Q_SIGNALS:
    /// fileName changed; the new value is passed.
    void fileNameChanged(const QString &fileName);

private:
    ModbusXmlEngine *m_engine;
};

#endif
