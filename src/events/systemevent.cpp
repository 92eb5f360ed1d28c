#include "systemevent.h"

SystemEvent::SystemEvent()
    : IEvent(GlobalEvents::SystemEventType)
{
}

SystemEvent::SystemEvent(int code)
    : IEvent(GlobalEvents::SystemEventType)
    , m_code(code)
{
}

int SystemEvent::code() const
{
    return m_code;
}

bool SystemEvent::operator==(const IEvent &other) const
{
    const auto *system = dynamic_cast<const SystemEvent *>(&other);
    return system && IEvent::operator==(other) && system->m_code == m_code;
}

QString SystemEvent::detailLines() const
{
    return QStringLiteral("system code: %1 (0x%2)\n").arg(m_code).arg(uint(m_code), 0, 16);
}
