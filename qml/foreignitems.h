#ifndef FOREIGNITEMS_H
#define FOREIGNITEMS_H

#include "internalitemmodel.h"
#include "modbusbit.h"
#include "modbuscustombytes.h"
#include "modbusdatetime.h"
#include "modbusdouble.h"
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

// The bases are uncreatable but registered, so that QML sees their properties and enumerations
// (ModbusItemBase.ArrayModel).

struct ModbusItemBaseForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusItemBase)
    QML_NAMED_ELEMENT(ModbusItemBase)
    QML_UNCREATABLE("ModbusItemBase is a base of the register items; declare one of its typed items instead")
};

struct ModbusItemAddressedBaseForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusItemAddressedBase)
    QML_NAMED_ELEMENT(ModbusItemAddressedBase)
    QML_UNCREATABLE("ModbusItemAddressedBase is a base of the register items; declare one of its typed items instead")
};

struct ModbusItemIntBaseForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusItemIntBase)
    QML_NAMED_ELEMENT(ModbusItemIntBase)
    QML_UNCREATABLE("ModbusItemIntBase is a base of the register items; declare one of its typed items instead")
};

struct ModbusItemFloatingBaseForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusItemFloatingBase)
    QML_NAMED_ELEMENT(ModbusItemFloatingBase)
    QML_UNCREATABLE("ModbusItemFloatingBase is a base of the register items; declare one of its typed items instead")
};

struct ModbusItemByteBaseForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusItemByteBase)
    QML_NAMED_ELEMENT(ModbusItemByteBase)
    QML_UNCREATABLE("ModbusItemByteBase is a base of the register items; declare one of its typed items instead")
};

struct InternalItemModelForeign
{
    Q_GADGET
    QML_FOREIGN(InternalItemModel)
    QML_NAMED_ELEMENT(InternalItemModel)
    QML_UNCREATABLE("InternalItemModel is the table model of an item; read it from the item's model property")
};

struct ModbusInt8Foreign
{
    Q_GADGET
    QML_FOREIGN(ModbusInt8)
    QML_NAMED_ELEMENT(ModbusInt8)
};

struct ModbusUInt8Foreign
{
    Q_GADGET
    QML_FOREIGN(ModbusUInt8)
    QML_NAMED_ELEMENT(ModbusUInt8)
};

struct ModbusInt16Foreign
{
    Q_GADGET
    QML_FOREIGN(ModbusInt16)
    QML_NAMED_ELEMENT(ModbusInt16)
};

struct ModbusUInt16Foreign
{
    Q_GADGET
    QML_FOREIGN(ModbusUInt16)
    QML_NAMED_ELEMENT(ModbusUInt16)
};

struct ModbusInt32Foreign
{
    Q_GADGET
    QML_FOREIGN(ModbusInt32)
    QML_NAMED_ELEMENT(ModbusInt32)
};

struct ModbusUInt32Foreign
{
    Q_GADGET
    QML_FOREIGN(ModbusUInt32)
    QML_NAMED_ELEMENT(ModbusUInt32)
};

struct ModbusInt64Foreign
{
    Q_GADGET
    QML_FOREIGN(ModbusInt64)
    QML_NAMED_ELEMENT(ModbusInt64)
};

struct ModbusUInt64Foreign
{
    Q_GADGET
    QML_FOREIGN(ModbusUInt64)
    QML_NAMED_ELEMENT(ModbusUInt64)
};

struct ModbusFloatForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusFloat)
    QML_NAMED_ELEMENT(ModbusFloat)
};

struct ModbusDoubleForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusDouble)
    QML_NAMED_ELEMENT(ModbusDouble)
};

struct ModbusDoubleStructForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusDoubleStruct)
    QML_NAMED_ELEMENT(ModbusDoubleStruct)
};

struct ModbusBitForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusBit)
    QML_NAMED_ELEMENT(ModbusBit)
};

struct ModbusDateTimeForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusDateTime)
    QML_NAMED_ELEMENT(ModbusDateTime)
};

struct ModbusStringAnsiForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusStringAnsi)
    QML_NAMED_ELEMENT(ModbusStringAnsi)
};

struct ModbusCustomBytesForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusCustomBytes)
    QML_NAMED_ELEMENT(ModbusCustomBytes)
};

struct ModbusStringUtf8Foreign
{
    Q_GADGET
    QML_FOREIGN(ModbusStringUtf8)
    QML_NAMED_ELEMENT(ModbusStringUtf8)
};

struct ModbusFileForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusFile)
    QML_NAMED_ELEMENT(ModbusFile)
};

struct ModbusReportForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusReport)
    QML_NAMED_ELEMENT(ModbusReport)
};

struct ModbusItemsForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusItems)
    QML_NAMED_ELEMENT(ModbusItems)
};

struct ModbusItemReaderForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusItemReader)
    QML_NAMED_ELEMENT(ModbusItemReader)
};

#endif
