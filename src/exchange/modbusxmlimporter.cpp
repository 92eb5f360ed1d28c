#include "modbusxmlimporter.h"

#include "modbusxmlengine.h"

ModbusXmlImporter::ModbusXmlImporter(QObject *parent)
    : ModbusImporter(parent)
    , m_engine(new ModbusXmlEngine)
{
    m_engine->setFileName(QStringLiteral("export.xml"));
    setEngine(m_engine);
    connect(m_engine, &ModbusXmlEngine::fileNameChanged, this, &ModbusXmlImporter::fileNameChanged);
}

QString ModbusXmlImporter::fileName() const
{
    return m_engine->fileName();
}

void ModbusXmlImporter::setFileName(const QString &fileName)
{
    m_engine->setFileName(fileName);
}

