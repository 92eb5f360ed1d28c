#include "qtavrexobject.h"

QTavrexObject::~QTavrexObject() = default;

QString QTavrexObject::formatLines(const QString &text, bool oneLine)
{
    if (!oneLine)
        return text;
    QString line(text);
    return line.replace(QLatin1Char('\n'), QLatin1String("; "));
}

QString QTavrexObject::formatLines(const QStringList &lines, bool oneLine)
{
    QString text;
    for (const QString &line : lines)
        text += line + QLatin1Char('\n');
    return formatLines(text, oneLine);
}
