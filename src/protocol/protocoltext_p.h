#ifndef PROTOCOLTEXT_P_H
#define PROTOCOLTEXT_P_H

#include <QtCore/QString>

// Diagnostic texts are built line by line; one-line form joins them with "; ".
inline QString tavrexLines(QString text, bool oneLine)
{
    if (oneLine)
        text.replace(QLatin1Char('\n'), QLatin1String("; "));
    return text;
}

#endif // PROTOCOLTEXT_P_H
