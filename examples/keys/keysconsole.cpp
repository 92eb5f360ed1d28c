#include "keysconsole.h"

#include <QtCore/qcoreapplication.h>

KeysConsole::KeysConsole(const QString &device, int count, QObject *parent)
    : HeadlessConsole(parent),
      m_device(device),
      m_remaining(count)
{
}

void KeysConsole::countKey()
{
    if (m_remaining > 0 && --m_remaining == 0)
        QCoreApplication::quit();
}
