#include "registration.h"

void registerProtocolTypes(const char *uri)
{
    Q_UNUSED(uri);
}
