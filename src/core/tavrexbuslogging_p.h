#ifndef TAVREXBUSLOGGING_P_H
#define TAVREXBUSLOGGING_P_H

#include <QtCore/qloggingcategory.h>

// The library's logging categories, one per subsystem, named "tavrexbus.<subsystem>". Warnings and
// critical messages are on by default, debug and info messages off; QT_LOGGING_RULES or
// QLoggingCategory::setFilterRules() turn them on, for example "tavrexbus.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcCore)
Q_DECLARE_LOGGING_CATEGORY(lcProtocol)
Q_DECLARE_LOGGING_CATEGORY(lcTransport)
// Every frame a transporter sends or receives, in hexadecimal.
Q_DECLARE_LOGGING_CATEGORY(lcTraffic)
Q_DECLARE_LOGGING_CATEGORY(lcSerial)
Q_DECLARE_LOGGING_CATEGORY(lcTcp)
Q_DECLARE_LOGGING_CATEGORY(lcUsb)
Q_DECLARE_LOGGING_CATEGORY(lcEngine)
Q_DECLARE_LOGGING_CATEGORY(lcItems)
Q_DECLARE_LOGGING_CATEGORY(lcClient)
Q_DECLARE_LOGGING_CATEGORY(lcArchives)
Q_DECLARE_LOGGING_CATEGORY(lcEvents)
Q_DECLARE_LOGGING_CATEGORY(lcExchange)
Q_DECLARE_LOGGING_CATEGORY(lcModels)

#endif // TAVREXBUSLOGGING_P_H
