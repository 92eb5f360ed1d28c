#include "cancelmessageevent.h"

CancelMessageEvent::CancelMessageEvent(QObject *parent)
    : QObject(parent)
{
}

bool CancelMessageEvent::cancel() const
{
    return m_cancel;
}

void CancelMessageEvent::setCancel(bool cancel)
{
    if (m_cancel == cancel)
        return;
    m_cancel = cancel;
    emit cancelChanged(cancel);
}
