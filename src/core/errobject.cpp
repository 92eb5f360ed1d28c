#include "errobject.h"

#include "tavrexbus.h"
#include "threadcall_p.h"

#include <QtCore/QThread>

ErrObject::ErrObject(QObject *parent)
    : QObject(parent)
{
}

QString ErrObject::errorString() const
{
    return m_errorString;
}

quint64 ErrObject::errorCount() const
{
    return m_errorCount;
}

void ErrObject::incrementErrorCount()
{
    ++m_errorCount;
    Q_EMIT errorCountChanged();
}

void ErrObject::clearError()
{
    setErrorString(QString());
}

void ErrObject::setErrorString(const QString &value)
{
    if (QThread::currentThread() != thread()) {
        postToOwnerThread(this, [this, value] { setErrorString(value); });
        return;
    }
    m_errorString = value;
    incrementErrorCount();
    Q_EMIT error(value);
}

bool ErrObject::acceptDeviceAddress(int address, quint8 &stored)
{
    QString error;
    if (!TavrexBus::checkDeviceAddress(address, &error)) {
        setErrorString(error);
        return false;
    }
    if (address == stored)
        return false;
    stored = quint8(address);
    return true;
}
