#ifndef REGISTRATION_H
#define REGISTRATION_H

#include <QtCore/qglobal.h>

// One registration function per library subsystem keeps each subsystem's QML surface in one place.
void registerCoreTypes(const char *uri);
void registerProtocolTypes(const char *uri);
void registerTransportsTypes(const char *uri);
void registerEngineTypes(const char *uri);
void registerItemsTypes(const char *uri);
void registerClientTypes(const char *uri);
void registerTcpTypes(const char *uri);

#endif
