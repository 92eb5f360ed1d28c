#ifndef MODBUSXMLIMPORTER_H
#define MODBUSXMLIMPORTER_H

#include "modbusimporter.h"

class ModbusXmlEngine;

/// A ModbusImporter that keeps its values in an XML file.
class TAVREXBUS1_EXPORT ModbusXmlImporter : public ModbusImporter
{
    Q_OBJECT
    /// The XML file.
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName NOTIFY fileNameChanged)

public:
    explicit ModbusXmlImporter(QObject *parent = nullptr);

    QString fileName() const;
    ModbusXmlEngine *xmlEngine() const { return m_engine; }

public Q_SLOTS:
    void setFileName(const QString &fileName);

Q_SIGNALS:
    void fileNameChanged(const QString &fileName);

private:
    ModbusXmlEngine *m_engine;
};

#endif
