#include "ievent.h"

IEvent::IEvent(GlobalEvents::EventType type)
    : m_type(type)
{
}

IEvent::~IEvent() = default;

GlobalEvents::EventType IEvent::type() const
{
    return m_type;
}

bool IEvent::operator==(const IEvent &other) const
{
    return m_type == other.m_type;
}

bool IEvent::operator!=(const IEvent &other) const
{
    return !(*this == other);
}

QString IEvent::toString(bool oneLine) const
{
    return formatLines(QStringLiteral("type: %1\n").arg(GlobalEvents::EventTypeStr(m_type)) + detailLines(), oneLine);
}

QString IEvent::detailLines() const
{
    return QString();
}
