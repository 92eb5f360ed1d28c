#include "registration.h"

void registerItemsTypes(const char *uri)
{
    Q_UNUSED(uri);
}
