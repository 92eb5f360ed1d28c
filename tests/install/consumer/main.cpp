#include <TavrexBus1/TavrexBus1>

#include <QtCore/QCoreApplication>
#include <QtQml/QQmlComponent>
#include <QtQml/QQmlEngine>

#include <cstdio>

// A program outside the source tree: links the installed library and loads the installed QML module.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const ModbusBytes request = ModbusBytes::fromModbusString(QStringLiteral("01 03 00 00 00 0A"));
    if (qChecksumModbus(request.constData(), request.size()) != 0xC5CD) {
        std::fprintf(stderr, "unexpected CRC\n");
        return 1;
    }
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import QtQml 2.15\nimport TavrexBus 1.0\nQtObject { property int mode: TavrexBus.ServerBus }",
                      QUrl());
    QScopedPointer<QObject> object(component.create());
    if (!object || object->property("mode").toInt() != TavrexBus::ServerBus) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return 1;
    }
    std::printf("consumer: library %s, CRC and QML module work\n", qPrintable(TavrexBus::version()));
    return 0;
}
