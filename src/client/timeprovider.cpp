#include "timeprovider.h"

// In UTC: the same instant as local time, without the time-zone look-up that local time costs on
// every call; the executor asks for it on every task.
QDateTime TimeProvider::currentDateTime() const
{
    return QDateTime::currentDateTimeUtc();
}
