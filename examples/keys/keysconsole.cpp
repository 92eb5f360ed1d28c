#include "keysconsole.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qtextstream.h>

KeysConsole::KeysConsole(const QString &device, int count, QObject *parent)
    : QObject(parent),
      m_device(device),
      m_remaining(count)
{
}

void KeysConsole::print(const QString &line)
{
    if (m_closed)
        return;
    QTextStream out(stdout);
    out << line << Qt::endl;
}

void KeysConsole::countKey()
{
    if (m_remaining > 0 && --m_remaining == 0)
        QCoreApplication::quit();
}
