#include "ekdigitalflowratehistoryitem.h"

#include "ekdigitallayout_p.h"

namespace {
constexpr int FlowRateRole = 34;
}

EkDigitalFlowRateHistoryItem::EkDigitalFlowRateHistoryItem(QObject *parent)
    : EkDigitalHistoryItem(EkDigitalLayout::FlowRateHistory, 300533, parent)
{
    m_roles << RoleItem(EkDigitalLayout::TimeRole, "time", tr("Time"))
            << RoleItem(33, "flowVelocity", tr("Flow velocity")) << RoleItem(FlowRateRole, "flowRate", tr("Q"))
            << RoleItem(35, "vPlus", tr("V+")) << RoleItem(36, "vMinus", tr("V-"))
            << RoleItem(37, "vSummary", tr("\u03a3V"));
    setRoles(m_roles);
}

QVariant EkDigitalFlowRateHistoryItem::data(const ModbusBytes &bytes, int role) const
{
    if (role == FlowRateRole)
        return double(EkDigitalHistoryItem::data(bytes, role).toFloat()) * m_flowRateRatio;
    return EkDigitalHistoryItem::data(bytes, role);
}

void EkDigitalFlowRateHistoryItem::setFlowRateRatio(qreal ratio)
{
    if (ratio == m_flowRateRatio)
        return;
    doAboutToBeReset(ArrayModel);
    m_flowRateRatio = ratio;
    doReset(ArrayModel);
    emit flowRateRatioChanged(ratio);
}
