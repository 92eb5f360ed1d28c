#ifndef TAVREXBUS1_IEVENT_H
#define TAVREXBUS1_IEVENT_H

#include "globalevents.h"
#include "qtavrexobject.h"

/// A device event: a plain polymorphic value that names its kind. Events travel by reference
/// (const IEvent &), so that a receiver sees the whole derived event.
class TAVREXBUS1_EXPORT IEvent : public QTavrexObject
{
public:
    ~IEvent() override;

    /// The kind of this event.
    GlobalEvents::EventType type() const;
    /// True for events of the same kind; derived events also compare their data.
    virtual bool operator==(const IEvent &other) const;
    /// The opposite of operator==().
    bool operator!=(const IEvent &other) const;
    /// "type: <kind text>\n", followed by the lines of derived events.
    QString toString(bool oneLine = false) const override;

protected:
    explicit IEvent(GlobalEvents::EventType type);
    IEvent(const IEvent &other) = default;
    IEvent &operator=(const IEvent &other) = default;
    /// The lines a derived event adds to toString().
    virtual QString detailLines() const;

private:
    GlobalEvents::EventType m_type;
};

#endif
