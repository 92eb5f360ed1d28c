#include "panelwindow.h"

#include <QtGui/qimage.h>
#include <QtQml/qqmlapplicationengine.h>
#include <QtQuick/qquickwindow.h>
#include <QtQuickControls2/qquickstyle.h>

QQuickWindow *loadPanel(QQmlApplicationEngine &engine, const QVariantMap &properties, QString *error)
{
    // A desktop style unless the user chose one.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_CONTROLS_STYLE"))
        QQuickStyle::setStyle(QStringLiteral("Fusion"));
    engine.addImportPath(QStringLiteral(PANEL_IMPORT_PATH));
    QStringList messages;
    const auto connection = QObject::connect(&engine, &QQmlApplicationEngine::warnings, &engine,
                                             [&messages](const QList<QQmlError> &warnings) {
                                                 for (const QQmlError &warning : warnings)
                                                     messages << warning.toString();
                                             });
    engine.setInitialProperties(properties);
    engine.load(QUrl(QStringLiteral("qrc:/panel/Main.qml")));
    QObject::disconnect(connection);
    const QList<QObject *> roots = engine.rootObjects();
    auto *window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.constFirst());
    if (!window && error)
        *error = messages.isEmpty() ? QStringLiteral("the panel's QML made no window")
                                    : messages.join(QLatin1Char('\n'));
    return window;
}

bool savePanelScreenshot(QQuickWindow *window, const QString &fileName, QString *error)
{
    const QImage image = window->grabWindow();
    if (image.isNull()) {
        *error = QStringLiteral("the window could not be grabbed");
        return false;
    }
    if (!image.save(fileName)) {
        *error = QStringLiteral("cannot write %1").arg(fileName);
        return false;
    }
    return true;
}
