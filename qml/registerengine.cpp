#include "registration.h"

void registerEngineTypes(const char *uri)
{
    Q_UNUSED(uri);
}
