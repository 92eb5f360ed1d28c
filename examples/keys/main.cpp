#include "keysconsole.h"

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
    QCoreApplication::setApplicationName(QStringLiteral("keys"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Opens a meter's C55 device node and prints the key presses of its keypad, as the keypad "
                       "announces them and as a focused item receives them, until Ctrl-C."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("device"), QStringLiteral("The C55 device node (tavrexbus-sim --c55 names one)."),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("count"), QStringLiteral("Stop after this many key codes."), QStringLiteral("n"),
                      QStringLiteral("0")});
    parser.addOption({QStringLiteral("qml"), QStringLiteral("QML file to run instead of the built-in one."),
                      QStringLiteral("file"), QStringLiteral(KEYS_QML_FILE)});
    parser.process(app);

    bool countOk = false;
    const int count = parser.value(QStringLiteral("count")).toInt(&countOk);
    if (!parser.isSet(QStringLiteral("device")) || !countOk || count < 0) {
        QTextStream(stderr) << "keys: give --device PATH (and --count N with N >= 0)" << Qt::endl;
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
    engine.addImportPath(QStringLiteral(KEYS_IMPORT_PATH));
    KeysConsole console(parser.value(QStringLiteral("device")), count);
    engine.rootContext()->setContextProperty(QStringLiteral("keysApp"), &console);
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
