#include "headlessconsole.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qtextstream.h>
#include <QtCore/qtimer.h>
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

void HeadlessConsole::print(const QString &line)
{
    if (m_closed)
        return;
    QTextStream out(stdout);
    out << line << Qt::endl;
}

void useOffscreenByDefault()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

int runHeadlessQml(const QString &qmlFile, const QString &importPath, const QString &contextName,
                   HeadlessConsole &console)
{
    // Only a flag may be touched inside a signal handler; the event loop looks at it.
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, QCoreApplication::instance(), [] {
        if (stopRequested)
            QCoreApplication::quit();
    });
    stopWatch.start(100);

    QQmlEngine engine;
    engine.addImportPath(importPath);
    engine.rootContext()->setContextProperty(contextName, &console);
    QQmlComponent component(&engine, QUrl::fromLocalFile(qmlFile));
    std::unique_ptr<QObject> root(component.create());
    if (!root) {
        QTextStream(stderr) << component.errorString();
        return 1;
    }
    const int status = QCoreApplication::exec();
    console.close();
    return status;
}
