#ifndef MODBUSXMLIMPORTER_H
#define MODBUSXMLIMPORTER_H

#include "modbusimporter.h"

class ModbusXmlEngine;

/// A ModbusImporter that keeps its values in an XML file.
///
/// Available in QML as `ModbusXmlImporter` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusXmlImporter : public ModbusImporter
{
    Q_OBJECT
    /// The XML file; "export.xml" by default.
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName NOTIFY fileNameChanged)

public:
    /// An importer with an XML engine of its own, reading "export.xml".
    explicit ModbusXmlImporter(QObject *parent = nullptr);

    /// Getter of the fileName property.
    QString fileName() const;
    /// The XML engine; owned by the importer.
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
