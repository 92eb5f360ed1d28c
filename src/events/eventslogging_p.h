#ifndef EVENTSLOGGING_P_H
#define EVENTSLOGGING_P_H

#include <QtCore/QLoggingCategory>

// Diagnostics of device events and the keypad: records, decoding failures, replayed keys.
Q_DECLARE_LOGGING_CATEGORY(lcEvents)

#endif
