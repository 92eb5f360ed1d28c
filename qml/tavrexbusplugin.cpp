#include "registration.h"

#include <QtQml/QQmlExtensionPlugin>

class TavrexBusPlugin : public QQmlExtensionPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

public:
    void registerTypes(const char *uri) override
    {
        registerCoreTypes(uri);
        registerProtocolTypes(uri);
        registerTransportsTypes(uri);
        registerTcpTypes(uri);
        registerEngineTypes(uri);
        registerItemsTypes(uri);
        registerClientTypes(uri);
    }
};

#include "tavrexbusplugin.moc"
