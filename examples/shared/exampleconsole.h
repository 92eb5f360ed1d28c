#ifndef EXAMPLECONSOLE_H
#define EXAMPLECONSOLE_H

#include "headlessconsole.h"

// What an example's QML sees of the program: where the meter is, and a console to print on.
class ExampleConsole : public HeadlessConsole
{
    Q_OBJECT
    Q_PROPERTY(QString host READ host CONSTANT)
    Q_PROPERTY(int port READ port CONSTANT)
    Q_PROPERTY(bool once READ once CONSTANT)

public:
    ExampleConsole(const QString &host, int port, bool once, QObject *parent = nullptr);

    QString host() const { return m_host; }
    int port() const { return m_port; }
    bool once() const { return m_once; }

    Q_INVOKABLE void fail(const QString &message);
    Q_INVOKABLE void finish();

private:
    QString m_host;
    int m_port;
    bool m_once;
};

// How main() describes its example: the name, what it does, its QML file and the context property under
// which the QML sees the console. withOnce adds the --once option.
struct ExampleSettings
{
    QString name;
    QString description;
    QString qmlFile;
    QString importPath;
    QString contextName;
    bool withOnce = false;
};

// Parses --host, --port and --qml (and --once), runs the QML headless until it finishes or Ctrl-C, and
// gives the exit status.
int runExample(int argc, char *argv[], const ExampleSettings &settings);

#endif
