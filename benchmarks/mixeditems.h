#ifndef MIXEDITEMS_H
#define MIXEDITEMS_H

#include <TavrexBus1/modbusdouble.h>
#include <TavrexBus1/modbusfloat.h>
#include <TavrexBus1/modbusint32.h>
#include <TavrexBus1/modbusstringansi.h>
#include <TavrexBus1/modbusuint16.h>

// Mixed item types one after the other from address on, as a meter's register table has them; address
// moves past the item made.
inline ModbusItemBase *makeItem(int index, quint32 &address, QObject *parent)
{
    ModbusItemBase *item = nullptr;
    switch (index % 5) {
    case 0:
        item = new ModbusUInt16(address, parent);
        address += 1;
        break;
    case 1:
        item = new ModbusInt32(address, parent);
        address += 2;
        break;
    case 2:
        item = new ModbusFloat(address, parent);
        address += 2;
        break;
    case 3:
        item = new ModbusDouble(address, parent);
        address += 4;
        break;
    default: {
        auto *text = new ModbusStringAnsi(address, parent);
        text->setLength(4);
        item = text;
        address += 4;
        break;
    }
    }
    return item;
}

#endif
