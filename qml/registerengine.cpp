#include "registration.h"

#include "modbuser.h"
#include "modbustranslator.h"

#include <QtQml/qqml.h>

void registerEngineTypes(const char *uri)
{
    qmlRegisterUncreatableType<ModbusTranslator>(uri, 1, 0, "ModbusTranslator",
        QStringLiteral("ModbusTranslator belongs to a Modbuser or a client; it cannot be created in QML"));
    qmlRegisterUncreatableType<Modbuser>(uri, 1, 0, "Modbuser",
        QStringLiteral("Modbuser blocks on its requests and answers through C++ handler signals; "
                       "create it in C++, or use ModbusClient in QML"));
}
