#ifndef MYDECLARATIVEPARSERSTATUS_H
#define MYDECLARATIVEPARSERSTATUS_H

#include "tavrexbus1global.h"

#include <QtQml/QQmlParserStatus>

/// Parser-status base of objects created from QML: initializing() is true
/// between classBegin() and componentComplete().
///
/// A QObject subclass that also inherits this class must declare
/// Q_INTERFACES(QQmlParserStatus), or the engine never calls the two hooks.
/// Overrides of classBegin() and componentComplete() call this class's version.
class TAVREXBUS1_EXPORT MyDeclarativeParserStatus : public QQmlParserStatus
{
public:
    /// Not initializing until QML calls classBegin().
    MyDeclarativeParserStatus();
    /// Destroys the status.
    ~MyDeclarativeParserStatus() override;

    /// Marks the object as initializing while QML sets its properties.
    void classBegin() override;
    /// Ends the initializing state once QML has set every property.
    void componentComplete() override;
    /// True between classBegin() and componentComplete().
    bool initializing() const;

private:
    bool m_initializing = false;
};

#endif // MYDECLARATIVEPARSERSTATUS_H
