#include "registration.h"

#include "tavrexbus.h"

#include <QtQml/qqml.h>

void registerCoreTypes(const char *uri)
{
    qmlRegisterUncreatableType<TavrexBus>(uri, 1, 0, "TavrexBus",
        QStringLiteral("TavrexBus only holds enumerations and helper functions; it cannot be created"));
    qmlRegisterSingletonType<TavrexBus>(uri, 1, 0, "TavrexBusHelpers", [](QQmlEngine *, QJSEngine *) -> QObject * {
        return new TavrexBus;
    });
}
