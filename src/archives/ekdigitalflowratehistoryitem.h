#ifndef EKDIGITALFLOWRATEHISTORYITEM_H
#define EKDIGITALFLOWRATEHISTORYITEM_H

#include "ekdigitalhistoryitem.h"

/// The meter's flow rate history: flow velocity, flow rate, V+, V- and their difference, sample by sample.
///
/// Available in QML as `EkDigitalFlowRateHistoryItem` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT EkDigitalFlowRateHistoryItem : public EkDigitalHistoryItem
{
    Q_OBJECT
    /// The factor the flow rate column is multiplied by.
    Q_PROPERTY(qreal flowRateRatio READ flowRateRatio WRITE setFlowRateRatio NOTIFY flowRateRatioChanged)

public:
    /// The history item at its register address.
    explicit EkDigitalFlowRateHistoryItem(QObject *parent = nullptr);

    /// The flow rate factor.
    qreal flowRateRatio() const { return m_flowRateRatio; }
    /// The flow rate scaled by flowRateRatio, or the fields of EkDigitalHistoryItem.
    QVariant data(const ModbusBytes &bytes, int role) const override;

public Q_SLOTS:
    /// Changes the flow rate factor; views read the column again.
    void setFlowRateRatio(qreal ratio);

Q_SIGNALS:
    /// flowRateRatio changed.
    void flowRateRatioChanged(qreal ratio);

private:
    qreal m_flowRateRatio = 1.0;
};

#endif
