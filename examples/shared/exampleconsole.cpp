#include "exampleconsole.h"

#include <QtCore/qcommandlineparser.h>
#include <QtCore/qcoreapplication.h>
#include <QtCore/qtextstream.h>
#include <QtGui/qguiapplication.h>

ExampleConsole::ExampleConsole(const QString &host, int port, bool once, QObject *parent)
    : HeadlessConsole(parent),
      m_host(host),
      m_port(port),
      m_once(once)
{
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
    useOffscreenByDefault();
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

    ExampleConsole console(parser.value(QStringLiteral("host")), port,
                           settings.withOnce && parser.isSet(QStringLiteral("once")));
    return runHeadlessQml(parser.value(QStringLiteral("qml")), settings.importPath, settings.contextName, console);
}
