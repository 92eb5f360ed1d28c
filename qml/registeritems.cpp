#include "registration.h"

#include "internalitemmodel.h"
#include "modbusbit.h"
#include "modbuscustombytes.h"
#include "modbusdatetime.h"
#include "modbusdoublestruct.h"
#include "modbusfile.h"
#include "modbusfloat.h"
#include "modbusint16.h"
#include "modbusint32.h"
#include "modbusint64.h"
#include "modbusint8.h"
#include "modbusitemreader.h"
#include "modbusitems.h"
#include "modbusreport.h"
#include "modbusstringansi.h"
#include "modbusstringutf8.h"
#include "modbusuint16.h"
#include "modbusuint32.h"
#include "modbusuint64.h"
#include "modbusuint8.h"

#include <QtQml/qqml.h>

namespace {

template<typename T>
void registerBase(const char *uri, const char *name)
{
    qmlRegisterUncreatableType<T>(uri, 1, 0, name,
        QStringLiteral("%1 is a base of the register items; declare one of its typed items instead")
            .arg(QLatin1String(name)));
}

} // namespace

void registerItemsTypes(const char *uri)
{
    registerBase<ModbusItemBase>(uri, "ModbusItemBase");
    registerBase<ModbusItemAddressedBase>(uri, "ModbusItemAddressedBase");
    registerBase<ModbusItemIntBase>(uri, "ModbusItemIntBase");
    registerBase<ModbusItemFloatingBase>(uri, "ModbusItemFloatingBase");
    registerBase<ModbusItemByteBase>(uri, "ModbusItemByteBase");
    qmlRegisterUncreatableType<InternalItemModel>(uri, 1, 0, "InternalItemModel",
        QStringLiteral("InternalItemModel is the table model of an item; read it from the item's model property"));

    qmlRegisterType<ModbusInt8>(uri, 1, 0, "ModbusInt8");
    qmlRegisterType<ModbusUInt8>(uri, 1, 0, "ModbusUInt8");
    qmlRegisterType<ModbusInt16>(uri, 1, 0, "ModbusInt16");
    qmlRegisterType<ModbusUInt16>(uri, 1, 0, "ModbusUInt16");
    qmlRegisterType<ModbusInt32>(uri, 1, 0, "ModbusInt32");
    qmlRegisterType<ModbusUInt32>(uri, 1, 0, "ModbusUInt32");
    qmlRegisterType<ModbusInt64>(uri, 1, 0, "ModbusInt64");
    qmlRegisterType<ModbusUInt64>(uri, 1, 0, "ModbusUInt64");
    qmlRegisterType<ModbusFloat>(uri, 1, 0, "ModbusFloat");
    qmlRegisterType<ModbusDouble>(uri, 1, 0, "ModbusDouble");
    qmlRegisterType<ModbusDoubleStruct>(uri, 1, 0, "ModbusDoubleStruct");
    qmlRegisterType<ModbusBit>(uri, 1, 0, "ModbusBit");
    qmlRegisterType<ModbusDateTime>(uri, 1, 0, "ModbusDateTime");
    qmlRegisterType<ModbusStringAnsi>(uri, 1, 0, "ModbusStringAnsi");
    qmlRegisterType<ModbusCustomBytes>(uri, 1, 0, "ModbusCustomBytes");
    qmlRegisterType<ModbusStringUtf8>(uri, 1, 0, "ModbusStringUtf8");
    qmlRegisterType<ModbusFile>(uri, 1, 0, "ModbusFile");
    qmlRegisterType<ModbusReport>(uri, 1, 0, "ModbusReport");
    qmlRegisterType<ModbusItems>(uri, 1, 0, "ModbusItems");
    qmlRegisterType<ModbusItemReader>(uri, 1, 0, "ModbusItemReader");
}
