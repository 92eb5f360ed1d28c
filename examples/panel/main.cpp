#include "panelwindow.h"

#include <QtCore/qcommandlineparser.h>
#include <QtCore/qdir.h>
#include <QtCore/qelapsedtimer.h>
#include <QtCore/qstandardpaths.h>
#include <QtCore/qtextstream.h>
#include <QtCore/qtimer.h>
#include <QtGui/qguiapplication.h>
#include <QtQml/qqmlapplicationengine.h>
#include <QtQuick/qquickwindow.h>
#include <QtWidgets/qapplication.h>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

// Saves the screenshot as soon as the panel shows values, a trend and an archive (or, when time is up,
// what it shows then), and ends the program: with status 0 only in the first case.
void shootWhenReady(QQuickWindow *window, const QString &fileName, int seconds)
{
    auto *poll = new QTimer(window);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(poll, &QTimer::timeout, window, [=] {
        const bool complete = window->property("showsEverything").toBool();
        if (!complete && !clock.hasExpired(seconds * 1000))
            return;
        poll->stop();
        // One more frame, so that the chart has drawn its last points.
        QTimer::singleShot(500, window, [=] {
            QString error;
            if (!savePanelScreenshot(window, fileName, &error)) {
                err() << "panel: " << error << Qt::endl;
                QCoreApplication::exit(1);
                return;
            }
            out() << "screenshot of the panel: " << QDir::toNativeSeparators(fileName) << " (" << window->width()
                  << "x" << window->height() << ")" << Qt::endl;
            if (!complete)
                err() << "panel: no values, trend or archive to show within " << seconds << " s" << Qt::endl;
            QCoreApplication::exit(complete ? 0 : 1);
        });
    });
    poll->start(200);
}

// Where exported files go: the folder asked for, else the documents folder, else home.
QString exportFolder(QString folder)
{
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(folder).exists() ? folder : QDir::homePath();
}

} // namespace

int main(int argc, char *argv[])
{
    // Without a display the panel can still answer --help and take screenshots.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt Charts draws through Qt Widgets' graphics scene, which needs a QApplication.
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("panel"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A meter panel: live values, their trend, an archive browser and exports, for a meter on Modbus/TCP, "
        "a serial line or USB."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("host"), QStringLiteral("Meter address (default 127.0.0.1)."), QStringLiteral("address"),
         QStringLiteral("127.0.0.1")},
        {QStringLiteral("port"), QStringLiteral("Meter TCP port (default 1502)."), QStringLiteral("port"),
         QStringLiteral("1502")},
        {QStringLiteral("connect"), QStringLiteral("Connect to the meter at start.")},
        {QStringLiteral("read-archive"), QStringLiteral("Read the archive's default range once connected.")},
        {QStringLiteral("export-dir"), QStringLiteral("Folder for exported files (default: the documents folder)."),
         QStringLiteral("folder")},
        {QStringLiteral("screenshot"),
         QStringLiteral("Save a screenshot to file once the panel shows values, half a minute of trend and an "
                        "archive (or after 90 s), then quit; with --connect and --read-archive this runs without a "
                        "display."),
         QStringLiteral("file")},
    });
    parser.process(app);

    bool portOk = false;
    const int port = parser.value(QStringLiteral("port")).toInt(&portOk);
    if (!portOk || port < 1 || port > 65535) {
        err() << "panel: invalid port: " << parser.value(QStringLiteral("port")) << Qt::endl;
        return 2;
    }
    const QString screenshot = parser.value(QStringLiteral("screenshot"));
    if (QGuiApplication::platformName() == QLatin1String("offscreen") && screenshot.isEmpty()) {
        err() << "panel: there is no display to show the panel on; give --screenshot FILE to see it as a picture"
              << Qt::endl;
        return 2;
    }
    const QVariantMap properties{
        {QStringLiteral("host"), parser.value(QStringLiteral("host"))},
        {QStringLiteral("port"), port},
        {QStringLiteral("connectAtStart"), parser.isSet(QStringLiteral("connect"))},
        {QStringLiteral("readArchiveOnConnect"), parser.isSet(QStringLiteral("read-archive"))},
        {QStringLiteral("exportFolder"), exportFolder(parser.value(QStringLiteral("export-dir")))},
    };
    QQmlApplicationEngine engine;
    QString error;
    QQuickWindow *window = loadPanel(engine, properties, &error);
    if (!window) {
        err() << error << Qt::endl;
        return 1;
    }
    if (!screenshot.isEmpty())
        shootWhenReady(window, QDir::current().absoluteFilePath(screenshot), 90);
    return QCoreApplication::exec();
}
