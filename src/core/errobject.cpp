#include "errobject.h"

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
