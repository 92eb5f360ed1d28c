#ifndef TIMEPROVIDER_H
#define TIMEPROVIDER_H

#include "tavrexbus1global.h"

#include <QtCore/qdatetime.h>
#include <QtCore/qobject.h>

/// "Now" for interval scheduling; tests and applications substitute their own clock.
class TAVREXBUS1_EXPORT TimeProvider : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /// The current date-time, in UTC; a subclass may return another.
    virtual QDateTime currentDateTime() const;
};

#endif
