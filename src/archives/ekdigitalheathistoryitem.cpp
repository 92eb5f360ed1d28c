#include "ekdigitalheathistoryitem.h"

#include "ekdigitallayout_p.h"

EkDigitalHeatHistoryItem::EkDigitalHeatHistoryItem(QObject *parent)
    : EkDigitalHistoryItem(EkDigitalLayout::HeatHistory, 301195, parent)
{
    m_roles << RoleItem(EkDigitalLayout::TimeRole, "time", tr("Time")) << RoleItem(33, "massFlowRate", tr("G"))
            << RoleItem(34, "thermalPower", tr("E")) << RoleItem(35, "mPlus", tr("M+"))
            << RoleItem(36, "wPlus", tr("W+"));
    setRoles(m_roles);
}
