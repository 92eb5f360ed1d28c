#include "registration.h"

void registerClientTypes(const char *uri)
{
    Q_UNUSED(uri);
}
