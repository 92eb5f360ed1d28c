#ifndef EKDIGITALPRESSUREHISTORYITEM_H
#define EKDIGITALPRESSUREHISTORYITEM_H

#include "ekdigitalhistoryitem.h"

/// The meter's pressure history: pressure and pressure sensor current, sample by sample.
///
/// Available in QML as `EkDigitalPressureHistoryItem` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT EkDigitalPressureHistoryItem : public EkDigitalHistoryItem
{
    Q_OBJECT

public:
    /// The history item at its register address.
    explicit EkDigitalPressureHistoryItem(QObject *parent = nullptr);
};

#endif
