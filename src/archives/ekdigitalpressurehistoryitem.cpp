#include "ekdigitalpressurehistoryitem.h"

#include "ekdigitallayout_p.h"

EkDigitalPressureHistoryItem::EkDigitalPressureHistoryItem(QObject *parent)
    : EkDigitalHistoryItem(EkDigitalLayout::PressureHistory, 301317, parent)
{
    m_roles << RoleItem(EkDigitalLayout::TimeRole, "time", tr("Time")) << RoleItem(33, "pressure", tr("P"))
            << RoleItem(34, "pressureCurrent", tr("I"));
    setRoles(m_roles);
}
