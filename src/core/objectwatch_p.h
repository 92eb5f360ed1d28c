#ifndef OBJECTWATCH_P_H
#define OBJECTWATCH_P_H

#include <QtCore/qobject.h>

#include <utility>

// Moves watcher from the object it watched to object: every connection from the old one to watcher
// goes, and onDestroyed hears of the new one's end. A plain pointer must be cleared by onDestroyed.
template <typename Pointer, typename T, typename Watcher, typename Slot>
void rewatch(Watcher *watcher, Pointer &watched, T *object, Slot &&onDestroyed)
{
    if (watched)
        QObject::disconnect(watched, nullptr, watcher, nullptr);
    watched = object;
    if (object)
        QObject::connect(object, &QObject::destroyed, watcher, std::forward<Slot>(onDestroyed));
}

#endif // OBJECTWATCH_P_H
