#include "meterconsole.h"

#include <QtCore/qcommandlineparser.h>
#include <QtCore/qtextstream.h>
#include <QtCore/qtimer.h>
#include <QtGui/qguiapplication.h>
#include <QtQml/qqmlcomponent.h>
#include <QtQml/qqmlcontext.h>
#include <QtQml/qqmlengine.h>

#include <csignal>
#include <memory>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("meter"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads a meter's report over Modbus/TCP, then polls its registers every second "
                       "and prints each change, until Ctrl-C."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("host"), QStringLiteral("Meter address (default 127.0.0.1)."),
                      QStringLiteral("address"), QStringLiteral("127.0.0.1")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("Meter port (default 1502)."), QStringLiteral("port"),
                      QStringLiteral("1502")});
    parser.addOption({QStringLiteral("once"), QStringLiteral("Stop after the first full read.")});
    parser.addOption({QStringLiteral("qml"), QStringLiteral("QML file to run instead of the built-in one."),
                      QStringLiteral("file"), QStringLiteral(METER_QML_FILE)});
    parser.process(app);

    bool portOk = false;
    const int port = parser.value(QStringLiteral("port")).toInt(&portOk);
    if (!portOk || port < 1 || port > 65535) {
        QTextStream(stderr) << "meter: invalid port: " << parser.value(QStringLiteral("port")) << Qt::endl;
        return 2;
    }

    // Only a flag may be touched inside a signal handler; the event loop looks at it.
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &app, [] {
        if (stopRequested)
            QCoreApplication::quit();
    });
    stopWatch.start(100);

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral(METER_IMPORT_PATH));
    MeterConsole console(parser.value(QStringLiteral("host")), port, parser.isSet(QStringLiteral("once")));
    engine.rootContext()->setContextProperty(QStringLiteral("meter"), &console);
    QQmlComponent component(&engine, QUrl::fromLocalFile(parser.value(QStringLiteral("qml"))));
    std::unique_ptr<QObject> root(component.create());
    if (!root) {
        QTextStream(stderr) << component.errorString();
        return 1;
    }
    const int status = QCoreApplication::exec();
    console.close();
    return status;
}
