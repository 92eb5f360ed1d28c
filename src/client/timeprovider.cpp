#include "timeprovider.h"

QDateTime TimeProvider::currentDateTime() const
{
    return QDateTime::currentDateTime();
}
