#ifndef EKDIGITALHEATHISTORYITEM_H
#define EKDIGITALHEATHISTORYITEM_H

#include "ekdigitalhistoryitem.h"

/// The meter's heat history: mass flow rate, thermal power, M+ and W+, sample by sample.
///
/// Available in QML as `EkDigitalHeatHistoryItem` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT EkDigitalHeatHistoryItem : public EkDigitalHistoryItem
{
    Q_OBJECT

public:
    /// The history item at its register address.
    explicit EkDigitalHeatHistoryItem(QObject *parent = nullptr);
};

#endif
