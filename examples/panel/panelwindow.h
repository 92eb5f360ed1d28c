#ifndef PANELWINDOW_H
#define PANELWINDOW_H

#include <QtCore/qstring.h>
#include <QtCore/qvariant.h>

class QQmlApplicationEngine;
class QQuickWindow;

// The meter panel's window, as the program and its test load it: the QML comes from the program's
// resources, the TavrexBus module from the build tree. properties set the window's own (host, port,
// connectAtStart, readArchiveOnConnect, exportFolder) before it is completed. Null when the QML fails,
// with the engine's messages in error.
QQuickWindow *loadPanel(QQmlApplicationEngine &engine, const QVariantMap &properties, QString *error);

// Writes what the window shows to fileName (the format follows the suffix).
bool savePanelScreenshot(QQuickWindow *window, const QString &fileName, QString *error);

#endif
