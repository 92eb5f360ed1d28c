#ifndef KEYSCONSOLE_H
#define KEYSCONSOLE_H

#include "headlessconsole.h"

// What main.qml sees of the program: the device node to open, and a console that prints and counts.
class KeysConsole : public HeadlessConsole
{
    Q_OBJECT
    Q_PROPERTY(QString device READ device CONSTANT)

public:
    KeysConsole(const QString &device, int count, QObject *parent = nullptr);

    QString device() const { return m_device; }

    // Counts one key code; the program ends after as many as --count asked for.
    Q_INVOKABLE void countKey();

private:
    QString m_device;
    int m_remaining;
};

#endif
