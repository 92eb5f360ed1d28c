#ifndef THREADCALL_P_H
#define THREADCALL_P_H

#include <QtCore/QMetaObject>
#include <QtCore/QObject>
#include <QtCore/QThread>

#include <utility>

// Runs call on the thread of context and returns only when it has run: directly when the caller
// is on that thread, as a blocking queued call from any other. The server request path needs it
// because its signals carry out-arguments that must be filled before the emitter goes on.
template <typename Call>
void callOnOwnerThread(QObject *context, Call &&call)
{
    if (context->thread() == QThread::currentThread())
        call();
    else
        QMetaObject::invokeMethod(context, std::forward<Call>(call), Qt::BlockingQueuedConnection);
}

#endif // THREADCALL_P_H
