#include "errobject.h"

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
        QMetaObject::invokeMethod(this, "setErrorString", Qt::QueuedConnection,
                                  Q_ARG(QString, value));
        return;
    }
    m_errorString = value;
    incrementErrorCount();
    Q_EMIT error(value);
}
