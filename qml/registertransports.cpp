#include "registration.h"

void registerTransportsTypes(const char *uri)
{
    Q_UNUSED(uri);
}
