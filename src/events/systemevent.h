#ifndef TAVREXBUS1_SYSTEMEVENT_H
#define TAVREXBUS1_SYSTEMEVENT_H

#include "ievent.h"

/// A notification of the instrument itself, identified by its code.
class TAVREXBUS1_EXPORT SystemEvent : public IEvent
{
public:
    /// An event of code 0.
    SystemEvent();
    /// A system event of code.
    explicit SystemEvent(int code);
    /// Copies other.
    SystemEvent(const SystemEvent &other) = default;
    /// Copies other.
    SystemEvent &operator=(const SystemEvent &other) = default;

    /// The device's code of the notification (2 or 3 in records the devices send).
    int code() const;
    /// True for a system event with the same code.
    bool operator==(const IEvent &other) const override;

protected:
    QString detailLines() const override;

private:
    int m_code = 0;
};

#endif
