#include "exampleconsole.h"

#include <QtCore/qcommandlineparser.h>
#include <QtCore/qcoreapplication.h>
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

ExampleConsole::ExampleConsole(const QString &host, int port, bool once, QObject *parent)
    : QObject(parent),
      m_host(host),
      m_port(port),
      m_once(once)
{
}

void ExampleConsole::print(const QString &line)
{
    if (m_closed)
        return;
    QTextStream out(stdout);
    out << line << Qt::endl;
}

void ExampleConsole::fail(const QString &message)
{
    QTextStream err(stderr);
    err << QCoreApplication::applicationName() << ": " << message << Qt::endl;
    QCoreApplication::exit(1);
}

void ExampleConsole::finish()
{
    QCoreApplication::quit();
}

int runExample(int argc, char *argv[], const ExampleSettings &settings)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(settings.name);

    QCommandLineParser parser;
    parser.setApplicationDescription(settings.description);
    parser.addHelpOption();
    parser.addOption({QStringLiteral("host"), QStringLiteral("Meter address (default 127.0.0.1)."),
                      QStringLiteral("address"), QStringLiteral("127.0.0.1")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("Meter port (default 1502)."), QStringLiteral("port"),
                      QStringLiteral("1502")});
    if (settings.withOnce)
        parser.addOption({QStringLiteral("once"), QStringLiteral("Stop after the first full read.")});
    parser.addOption({QStringLiteral("qml"), QStringLiteral("QML file to run instead of the built-in one."),
                      QStringLiteral("file"), settings.qmlFile});
    parser.process(app);

    bool portOk = false;
    const int port = parser.value(QStringLiteral("port")).toInt(&portOk);
    if (!portOk || port < 1 || port > 65535) {
        QTextStream(stderr) << settings.name << ": invalid port: " << parser.value(QStringLiteral("port")) << Qt::endl;
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
    engine.addImportPath(settings.importPath);
    ExampleConsole console(parser.value(QStringLiteral("host")), port,
                           settings.withOnce && parser.isSet(QStringLiteral("once")));
    engine.rootContext()->setContextProperty(settings.contextName, &console);
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
