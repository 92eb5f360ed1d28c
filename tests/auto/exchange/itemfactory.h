#ifndef ITEMFACTORY_H
#define ITEMFACTORY_H

#include <TavrexBus1/tavrexbus1.h>

#include <functional>
#include <memory>

// Every register item kind by its class name, made fresh at an address.
inline std::unique_ptr<ModbusItemBase> makeItem(const QString &type, quint32 address)
{
    static const QHash<QString, std::function<ModbusItemBase *(quint32)>> makers{
        { "ModbusUInt8", [](quint32 a) { return new ModbusUInt8(a); } },
        { "ModbusInt8", [](quint32 a) { return new ModbusInt8(a); } },
        { "ModbusUInt16", [](quint32 a) { return new ModbusUInt16(a); } },
        { "ModbusInt16", [](quint32 a) { return new ModbusInt16(a); } },
        { "ModbusUInt32", [](quint32 a) { return new ModbusUInt32(a); } },
        { "ModbusInt32", [](quint32 a) { return new ModbusInt32(a); } },
        { "ModbusUInt64", [](quint32 a) { return new ModbusUInt64(a); } },
        { "ModbusInt64", [](quint32 a) { return new ModbusInt64(a); } },
        { "ModbusFloat", [](quint32 a) { return new ModbusFloat(a); } },
        { "ModbusDouble", [](quint32 a) { return new ModbusDouble(a); } },
        { "ModbusDoubleStruct", [](quint32 a) { return new ModbusDoubleStruct(a); } },
        { "ModbusBit", [](quint32 a) { return new ModbusBit(a); } },
        { "ModbusDateTime", [](quint32 a) { return new ModbusDateTime(a); } },
        { "ModbusStringAnsi", [](quint32 a) { return new ModbusStringAnsi(a); } },
        { "ModbusStringUtf8", [](quint32 a) { return new ModbusStringUtf8(a); } },
        { "ModbusCustomBytes", [](quint32 a) { return new ModbusCustomBytes(a); } },
        { "ModbusFile", [](quint32 a) {
              auto *file = new ModbusFile;
              file->setFile(3);
              file->setOffset(quint16(a % 65536));
              file->setLength(6);
              return file;
          } },
    };
    return std::unique_ptr<ModbusItemBase>(makers.value(type)(address));
}

#endif
