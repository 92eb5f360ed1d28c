#ifndef FAULTLEDGER_H
#define FAULTLEDGER_H

#include "linkcheck.h"

#include <QtCore/QHash>
#include <QtCore/QString>

// The faults the simulator told of, per link ("tcp", "rtu"), and whether a link's failures are
// exactly their doing: every failure has a fault that can cause it, and every fault that must cost
// an exchange did. A late answer costs the exchange only when it comes after the client's answer
// timeout, and one that comes well within it must cost nothing; the same holds for the rest of a
// partial answer over Modbus/TCP, while on a serial line a partial answer may cost it or not.
class FaultLedger
{
public:
    explicit FaultLedger(int answerTimeout);

    // Takes one line of the simulator's output; false when it does not tell of a fault.
    bool take(const QString &line);
    quint64 total(const QString &link) const;
    // "silent 10, late 12, garble 9", in the simulator's words.
    QString text(const QString &link) const;

    struct Verdict
    {
        quint64 unexplained = 0; // failures no fault accounts for
        quint64 unfailed = 0; // faults that should have cost an exchange but did not
        QStringList details; // which, as "timeout failures without a fault 1"
    };
    Verdict reconcile(const QString &link, const LinkCheck::Figures &figures) const;

private:
    // What a fault must or may do to the exchange it hits.
    enum Source {
        Silent,
        LateLong,
        LateMid,
        LateShort,
        Garble,
        PartialLong,
        PartialMid,
        PartialShort,
        Stray,
        Exception,
        Close,
        Sources
    };

    Source sourceOf(const QString &link, const QString &kind, int msecs) const;
    static QString sourceName(int source);

    struct Counts
    {
        quint64 sources[Sources] = {};
        QHash<QString, quint64> kinds;
        QStringList order; // kinds in the order they first came
    };
    // Which failures (categories) a fault of source can cause, and whether it may cost nothing.
    struct Rule
    {
        int source;
        int categories;
        bool optional;
    };
    static const QList<Rule> &rules(bool tcp);
    static void matchFailures(bool tcp, const LinkCheck::Figures &figures, Counts &left, Verdict &verdict);
    static void countUnfailed(bool tcp, const Counts &left, Verdict &verdict);
    static void matchCloses(bool tcp, const LinkCheck::Figures &figures, const Counts &left, Verdict &verdict);

    int m_answerTimeout;
    QHash<QString, Counts> m_links;
};

#endif
