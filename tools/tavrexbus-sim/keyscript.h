#ifndef KEYSCRIPT_H
#define KEYSCRIPT_H

#include <TavrexBus1/modbusbytes.h>

#include <QtCore/QObject>
#include <QtCore/QTimer>

class Target;
class Transporter;

// Key presses and other device events played out on an event-carrying link, from a script such as
// "1 2 Point 5 Enter Down:1500 wait:500 system:3 loop" (see README.md).
class KeyScript : public QObject
{
    Q_OBJECT

public:
    explicit KeyScript(QObject *parent = nullptr);

    // Replaces the steps with those of text; false and a message naming the bad item otherwise.
    bool parse(const QString &text, QString *error);
    // Sends a greeting, then the steps' records to target through transporter, from the first step.
    void play(Transporter &transporter, const Target *target);
    void stop();

Q_SIGNALS:
    // One line per record sent, for --verbose.
    void sent(const QString &line);
    void finished();

private:
    struct Step
    {
        int delay = 0;     // milliseconds before the record goes out
        ModbusBytes record; // empty: only the delay
        bool loop = false;  // start again from the first step
    };

    bool parseItem(const QString &item, QString *error);
    void appendKey(quint8 code, int holdMsecs);
    void next();

    QList<Step> m_steps;
    int m_next = 0;
    QTimer m_timer;
    Transporter *m_transporter = nullptr;
    const Target *m_target = nullptr;
};

#endif
