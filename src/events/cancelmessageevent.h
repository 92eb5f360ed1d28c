#ifndef TAVREXBUS1_CANCELMESSAGEEVENT_H
#define TAVREXBUS1_CANCELMESSAGEEVENT_H

#include "tavrexbus1global.h"

#include <QtCore/QObject>

/// The argument of a notification that a handler may cancel by setting cancel.
///
/// Registered in QML as the uncreatable type `CancelMessageEvent` (`import TavrexBus 1.0`), so that QML sees
/// its
/// properties and enumerations.
class TAVREXBUS1_EXPORT CancelMessageEvent : public QObject
{
    Q_OBJECT
    /// Set by a handler to cancel what the notification announces.
    Q_PROPERTY(bool cancel READ cancel WRITE setCancel NOTIFY cancelChanged)

public:
    /// An event with no message.
    explicit CancelMessageEvent(QObject *parent = nullptr);

    /// Getter of the cancel property.
    bool cancel() const;
    /// Setter of the cancel property.
    void setCancel(bool cancel);

Q_SIGNALS:
    /// cancel changed; the new value is passed.
    void cancelChanged(bool cancel);

private:
    bool m_cancel = false;
};

#endif
