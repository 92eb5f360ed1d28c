#ifndef FOREIGNMODELS_H
#define FOREIGNMODELS_H

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

#endif
