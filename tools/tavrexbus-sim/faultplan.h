#ifndef FAULTPLAN_H
#define FAULTPLAN_H

#include <QtCore/QList>
#include <QtCore/QRandomGenerator>
#include <QtCore/QString>

// Which requests of one listener get a disturbed answer, and how, from a --faults text such as
// "silent 2%, late 1% 800-1500ms, garble every 50" (see README.md). Periodic rules count the
// listener's requests; the others draw from a generator that a seed makes repeatable.
class FaultPlan
{
public:
    enum Kind { None, Silent, Late, Garble, Partial, Stray, Exception, Close };

    struct Fault
    {
        Kind kind = None;
        // Late: the delay, Partial: the pause before the rest (ms); Stray: the byte count;
        // Exception: the exception code.
        int value = 0;
    };

    // Replaces the rules with those of text; false and a message naming the bad rule otherwise.
    bool parse(const QString &text, QString *error);
    bool isEmpty() const;
    // Listeners that share a seed still draw apart: each takes its own stream.
    void seed(quint32 seed, quint32 stream);

    // Counts one more request and tells what to do with its answer.
    Fault next();
    quint64 requests() const;
    // A number below bound, for the choices that depend on the answer itself.
    quint32 bounded(quint32 bound);

    static QString kindName(Kind kind);

private:
    struct Rule
    {
        Kind kind = None;
        double probability = 0; // 0 for a periodic rule
        quint64 period = 0; // 0 for a random rule
        int low = 0; // the argument's range
        int high = 0;
    };

    bool parseRule(const QString &text, QString *error);
    QString argumentProblem(Rule &rule, const QString &text);
    Fault faultOf(const Rule &rule);

    QList<Rule> m_rules;
    QRandomGenerator m_random;
    quint64 m_requests = 0;
};

#endif
