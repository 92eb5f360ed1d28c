#include "registration.h"

#include "tavrexbus.h"

#include <QtQml/qqml.h>

void registerCoreTypes(const char *uri)
{
    // A singleton reaches both the enumerations and the invokable helpers
    // (TavrexBus.HoldingRegister, TavrexBus.version()).
    qmlRegisterSingletonType<TavrexBus>(uri, 1, 0, "TavrexBus",
                                        [](QQmlEngine *, QJSEngine *) -> QObject * { return new TavrexBus; });
}
