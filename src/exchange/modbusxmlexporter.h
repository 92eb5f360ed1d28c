#ifndef MODBUSXMLEXPORTER_H
#define MODBUSXMLEXPORTER_H

#include "modbusexporter.h"

class ModbusXmlEngine;

/// A ModbusExporter that keeps its values in an XML file.
class TAVREXBUS1_EXPORT ModbusXmlExporter : public ModbusExporter
{
    Q_OBJECT
    /// The XML file.
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName NOTIFY fileNameChanged)
    /// The format version the file is written in.
    Q_PROPERTY(QString version READ version CONSTANT)

public:
    explicit ModbusXmlExporter(QObject *parent = nullptr);

    QString fileName() const;
    QString version() const;
    ModbusXmlEngine *xmlEngine() const { return m_engine; }

public Q_SLOTS:
    void setFileName(const QString &fileName);

Q_SIGNALS:
    void fileNameChanged(const QString &fileName);

private:
    ModbusXmlEngine *m_engine;
};

#endif
