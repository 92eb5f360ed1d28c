#ifndef FOREIGNMODELS_H
#define FOREIGNMODELS_H

#include "eksiteitem.h"
#include "eksitesmodel.h"
#include "modbustrendmodel.h"
#include "serialportsmodel.h"
#include "usbdevicesmodel.h"

#include <QtQml/qqml.h>

struct SerialPortsModelForeign
{
    Q_GADGET
    QML_FOREIGN(SerialPortsModel)
    QML_NAMED_ELEMENT(SerialPortsModel)
};

struct UsbDevicesModelForeign
{
    Q_GADGET
    QML_FOREIGN(UsbDevicesModel)
    QML_NAMED_ELEMENT(UsbDevicesModel)
};

struct TrendModelBaseForeign
{
    Q_GADGET
    QML_FOREIGN(TrendModelBase)
    QML_NAMED_ELEMENT(TrendModelBase)
    QML_UNCREATABLE("TrendModelBase is the base of ModbusTrendModel")
};

struct ModbusTrendModelForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusTrendModel)
    QML_NAMED_ELEMENT(ModbusTrendModel)
};

struct EkSitesModelForeign
{
    Q_GADGET
    QML_FOREIGN(EkSitesModel)
    QML_NAMED_ELEMENT(EkSitesModel)
};

struct EkSiteItemForeign
{
    Q_GADGET
    QML_FOREIGN(EkSiteItem)
    QML_NAMED_ELEMENT(EkSiteItem)
};

#endif
