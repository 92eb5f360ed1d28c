#ifndef EVENTRECORD_P_H
#define EVENTRECORD_P_H

#include <QtCore/QtGlobal>

// The layout of device event records: the first byte names the kind and fixes the length.
namespace EventRecord {

constexpr quint8 KeypadKind = 1;
constexpr int KeypadSize = 2; // kind, key code
constexpr quint8 FirstSystemKind = 2;
constexpr quint8 LastSystemKind = 3;
constexpr int SystemSize = 1; // the kind is the code

} // namespace EventRecord

#endif
