#include "mydeclarativeitem.h"

MyDeclarativeItem::MyDeclarativeItem(QQuickItem *parent)
    : QQuickItem(parent)
{
}

void MyDeclarativeItem::classBegin()
{
    m_initializing = true;
    QQuickItem::classBegin();
}

void MyDeclarativeItem::componentComplete()
{
    QQuickItem::componentComplete();
    m_initializing = false;
}

bool MyDeclarativeItem::initializing() const
{
    return m_initializing;
}
