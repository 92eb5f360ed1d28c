#include "modbusitemexporter.h"

#include "modbusitembase.h"

ModbusItemExporter::ModbusItemExporter(QObject *parent)
    : ErrObject(parent)
{
}

void ModbusItemExporter::setItem(ModbusItemBase *item)
{
    if (m_item == item)
        return;
    m_item = item;
    emit itemChanged(item);
}

bool ModbusItemExporter::start()
{
    setRunning(true);
    const bool done = startInternal();
    setRunning(false);
    if (done)
        emit completed();
    return done;
}

void ModbusItemExporter::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    emit runningChanged(running);
}
