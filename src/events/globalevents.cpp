#include "globalevents.h"

#include <QtCore/QCoreApplication>

QString GlobalEvents::EventTypeStr(EventType type)
{
    if (type == KeyboardEventType)
        return QCoreApplication::translate("GlobalEvents", "keyboard event");
    return QStringLiteral("?");
}
