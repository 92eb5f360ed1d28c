#include "modbusexportengine.h"

ModbusExportEngine::ModbusExportEngine(QObject *parent)
    : ErrObject(parent)
{
}
