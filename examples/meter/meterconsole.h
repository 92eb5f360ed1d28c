#ifndef METERCONSOLE_H
#define METERCONSOLE_H

#include <QtCore/qobject.h>

// What main.qml sees of the program: where the meter is, and a console to print on.
class MeterConsole : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString host READ host CONSTANT)
    Q_PROPERTY(int port READ port CONSTANT)
    Q_PROPERTY(bool once READ once CONSTANT)

public:
    MeterConsole(const QString &host, int port, bool once, QObject *parent = nullptr);

    QString host() const { return m_host; }
    int port() const { return m_port; }
    bool once() const { return m_once; }

    Q_INVOKABLE void print(const QString &line);
    Q_INVOKABLE void fail(const QString &message);
    Q_INVOKABLE void finish();
    // Silences the console for the teardown, whose side effects are no news to the user.
    void close() { m_closed = true; }

private:
    QString m_host;
    int m_port;
    bool m_once;
    bool m_closed = false;
};

#endif
