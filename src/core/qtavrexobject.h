#ifndef QTAVREXOBJECT_H
#define QTAVREXOBJECT_H

#include "tavrexbus1global.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

/// Describes an object for diagnostics: a list of lines each ending in "\n",
/// or with oneLine every "\n" turned into "; ".
class TAVREXBUS1_EXPORT QTavrexObject
{
public:
    /// Destroys the object.
    virtual ~QTavrexObject();
    /// The description: one line per field, or all on one line with oneLine.
    virtual QString toString(bool oneLine) const = 0;

protected:
    /// Implementations build their multi-line text and return it through this.
    static QString formatLines(const QString &text, bool oneLine);
    /// Joins lines as toString() returns them.
    static QString formatLines(const QStringList &lines, bool oneLine);
};

#endif // QTAVREXOBJECT_H
