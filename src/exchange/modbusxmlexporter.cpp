#include "modbusxmlexporter.h"

#include "modbusxmlengine.h"

ModbusXmlExporter::ModbusXmlExporter(QObject *parent)
    : ModbusExporter(parent)
    , m_engine(new ModbusXmlEngine)
{
    setEngine(m_engine);
    connect(m_engine, &ModbusXmlEngine::fileNameChanged, this, &ModbusXmlExporter::fileNameChanged);
}

QString ModbusXmlExporter::fileName() const
{
    return m_engine->fileName();
}

void ModbusXmlExporter::setFileName(const QString &fileName)
{
    m_engine->setFileName(fileName);
}

QString ModbusXmlExporter::version() const
{
    return m_engine->version();
}

