#ifndef HEADLESSCONSOLE_H
#define HEADLESSCONSOLE_H

#include <QtCore/qobject.h>

// The console a headless example's QML prints on.
class HeadlessConsole : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    Q_INVOKABLE void print(const QString &line);
    // Silences the console for the teardown, whose side effects are no news to the user.
    void close() { m_closed = true; }

private:
    bool m_closed = false;
};

// Lets the examples run without a display unless a platform was asked for; call before the application
// is made.
void useOffscreenByDefault();

// Runs qmlFile with the console seen as contextName until the QML finishes or Ctrl-C, and gives the exit
// status.
int runHeadlessQml(const QString &qmlFile, const QString &importPath, const QString &contextName,
                   HeadlessConsole &console);

#endif
