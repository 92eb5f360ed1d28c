#ifndef TAVREXBUS1_GLOBALEVENTS_H
#define TAVREXBUS1_GLOBALEVENTS_H

#include "tavrexbus1global.h"

#include <QtCore/QObject>
#include <QtCore/QString>

/// The vocabulary of device events: their kinds and display texts.
class TAVREXBUS1_EXPORT GlobalEvents
{
    Q_GADGET

public:
    /// Kind of a device event, as the first byte of its record names it.
    enum EventType : qint32 {
        KeyboardEventType = 1, ///< a key of the instrument's keypad pressed or released
        SystemEventType = 2    ///< a notification of the instrument itself
    };
    Q_ENUM(EventType)

    /// Display text of a kind: "keyboard event" for keyboard events, "?" for any other.
    static QString EventTypeStr(EventType type);
};

#endif
