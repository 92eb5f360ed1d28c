#ifndef KEYSCONSOLE_H
#define KEYSCONSOLE_H

#include <QtCore/qobject.h>

// What main.qml sees of the program: the device node to open, and a console that prints and counts.
class KeysConsole : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString device READ device CONSTANT)

public:
    KeysConsole(const QString &device, int count, QObject *parent = nullptr);

    QString device() const { return m_device; }

    Q_INVOKABLE void print(const QString &line);
    // Counts one key code; the program ends after as many as --count asked for.
    Q_INVOKABLE void countKey();
    // Silences the console for the teardown, whose side effects are no news to the user.
    void close() { m_closed = true; }

private:
    QString m_device;
    int m_remaining;
    bool m_closed = false;
};

#endif
