#ifndef SIGNALTEXTS_H
#define SIGNALTEXTS_H

#include <QtCore/QStringList>
#include <QtTest/QSignalSpy>

// The first argument of every emission as text: for an error signal, the messages in order.
inline QStringList signalTexts(const QSignalSpy &spy)
{
    QStringList texts;
    for (const QList<QVariant> &arguments : spy)
        texts.append(arguments.value(0).toString());
    return texts;
}

#endif
