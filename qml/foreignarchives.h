#ifndef FOREIGNARCHIVES_H
#define FOREIGNARCHIVES_H

#include "ekdigitalflowratehistoryitem.h"
#include "ekdigitalheathistoryitem.h"
#include "ekdigitalpressurehistoryitem.h"
#include "modbusarchlabel.h"
#include "modbusarchreader.h"
#include "modbusarchrecordekdigital.h"

#include <QtQml/qqml.h>

// Archive labels and records, their range reader, and the meter family's record and history layouts.

struct ModbusItemArchBaseForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusItemArchBase)
    QML_NAMED_ELEMENT(ModbusItemArchBase)
    QML_UNCREATABLE("ModbusItemArchBase is a base of the archive items; declare ModbusArchLabel or ModbusArchRecord")
};

struct ModbusItemArchLabeledBaseForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusItemArchLabeledBase)
    QML_NAMED_ELEMENT(ModbusItemArchLabeledBase)
    QML_UNCREATABLE("ModbusItemArchLabeledBase is a base of the archive items; declare ModbusArchLabel or "
                    "ModbusArchRecord")
};

struct ModbusArchLabelForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusArchLabel)
    QML_NAMED_ELEMENT(ModbusArchLabel)
};

struct ModbusArchRecordForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusArchRecord)
    QML_NAMED_ELEMENT(ModbusArchRecord)
};

struct ModbusArchRecordEkDigitalForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusArchRecordEkDigital)
    QML_NAMED_ELEMENT(ModbusArchRecordEkDigital)
};

struct ModbusArchReaderForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusArchReader)
    QML_NAMED_ELEMENT(ModbusArchReader)
};

struct EkDigitalHistoryItemForeign
{
    Q_GADGET
    QML_FOREIGN(EkDigitalHistoryItem)
    QML_NAMED_ELEMENT(EkDigitalHistoryItem)
    QML_UNCREATABLE("EkDigitalHistoryItem is a base of the history items; declare EkDigitalFlowRateHistoryItem, "
                    "EkDigitalHeatHistoryItem or EkDigitalPressureHistoryItem")
};

struct EkDigitalFlowRateHistoryItemForeign
{
    Q_GADGET
    QML_FOREIGN(EkDigitalFlowRateHistoryItem)
    QML_NAMED_ELEMENT(EkDigitalFlowRateHistoryItem)
};

struct EkDigitalHeatHistoryItemForeign
{
    Q_GADGET
    QML_FOREIGN(EkDigitalHeatHistoryItem)
    QML_NAMED_ELEMENT(EkDigitalHeatHistoryItem)
};

struct EkDigitalPressureHistoryItemForeign
{
    Q_GADGET
    QML_FOREIGN(EkDigitalPressureHistoryItem)
    QML_NAMED_ELEMENT(EkDigitalPressureHistoryItem)
};

#endif
