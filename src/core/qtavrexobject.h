#ifndef QTAVREXOBJECT_H
#define QTAVREXOBJECT_H

#include "tavrexbus1global.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

// Describes an object for diagnostics: a list of lines each ending in "\n",
// or with oneLine every "\n" turned into "; ".
class TAVREXBUS1_EXPORT QTavrexObject
{
public:
    virtual ~QTavrexObject();
    virtual QString toString(bool oneLine) const = 0;

protected:
    // Implementations build their multi-line text and return it through this.
    static QString formatLines(const QString &text, bool oneLine);
    static QString formatLines(const QStringList &lines, bool oneLine);
};

#endif // QTAVREXOBJECT_H
