#ifndef TAVREXBUS1_KEYPADEVENT_H
#define TAVREXBUS1_KEYPADEVENT_H

#include "ievent.h"

/// A key of the instrument's keypad pressed or released; the key code's meaning belongs to the
/// device family (see KeypadEkDigital).
class TAVREXBUS1_EXPORT KeypadEvent : public IEvent
{
public:
    /// An event of key code 0.
    KeypadEvent();
    /// A key press of keyCode.
    explicit KeypadEvent(unsigned char keyCode);
    /// Copies other.
    KeypadEvent(const KeypadEvent &other) = default;
    /// Copies other.
    KeypadEvent &operator=(const KeypadEvent &other) = default;

    /// The device's code of the key and its state.
    unsigned char keyCode() const;
    /// True for a keyboard event with the same key code.
    bool operator==(const IEvent &other) const override;

protected:
    QString detailLines() const override;

private:
    unsigned char m_keyCode = 0;
};

#endif
