#include "meterconsole.h"

#include <QtCore/qcoreapplication.h>
#include <QtCore/qtextstream.h>

MeterConsole::MeterConsole(const QString &host, int port, bool once, QObject *parent)
    : QObject(parent),
      m_host(host),
      m_port(port),
      m_once(once)
{
}

void MeterConsole::print(const QString &line)
{
    if (m_closed)
        return;
    QTextStream out(stdout);
    out << line << Qt::endl;
}

void MeterConsole::fail(const QString &message)
{
    QTextStream err(stderr);
    err << "meter: " << message << Qt::endl;
    QCoreApplication::exit(1);
}

void MeterConsole::finish()
{
    QCoreApplication::quit();
}
