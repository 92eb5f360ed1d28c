#include "faultledger.h"

#include <QtCore/QRegularExpression>

#include <algorithm>

namespace {

// How far from the answer timeout a delay must be to tell for sure whether it costs the exchange.
constexpr int TimeoutMargin = 250;

enum Category { ExceptionFailure = 1, FramingFailure = 2, TimeoutFailure = 4 };

QString categoryName(int category)
{
    return category == ExceptionFailure ? QStringLiteral("exception")
        : category == FramingFailure    ? QStringLiteral("framing")
                                        : QStringLiteral("timeout");
}

} // namespace

FaultLedger::FaultLedger(int answerTimeout)
    : m_answerTimeout(answerTimeout)
{ }

bool FaultLedger::take(const QString &line)
{
    static const QRegularExpression fault(QStringLiteral("^fault (\\w+) #\\d+, function \\d+: (\\w+)"));
    static const QRegularExpression msecs(QStringLiteral("(\\d+) ms$"));
    const QRegularExpressionMatch match = fault.match(line);
    if (!match.hasMatch())
        return false;
    Counts &counts = m_links[match.captured(1)];
    const QString kind = match.captured(2);
    ++counts.sources[sourceOf(match.captured(1), kind, msecs.match(line).captured(1).toInt())];
    if (!counts.kinds.contains(kind))
        counts.order << kind;
    ++counts.kinds[kind];
    return true;
}

FaultLedger::Source FaultLedger::sourceOf(const QString &link, const QString &kind, int msecs) const
{
    const bool tcp = link == QLatin1String("tcp");
    const auto bySpan = [&](Source longer, Source middle, Source shorter) {
        if (msecs >= m_answerTimeout + TimeoutMargin)
            return longer;
        return msecs <= m_answerTimeout - TimeoutMargin ? shorter : middle;
    };
    if (kind == QLatin1String("late"))
        return bySpan(LateLong, LateMid, LateShort);
    // A serial client ends an answer at a pause of a few milliseconds, unless its thread was kept
    // off the processor for longer than the pause and finds the whole answer waiting.
    if (kind == QLatin1String("partial"))
        return tcp ? bySpan(PartialLong, PartialMid, PartialShort) : PartialMid;
    static const QHash<QString, Source> others = { { QStringLiteral("silent"), Silent },
                                                   { QStringLiteral("garble"), Garble },
                                                   { QStringLiteral("stray"), Stray },
                                                   { QStringLiteral("exception"), Exception },
                                                   { QStringLiteral("close"), Close } };
    return others.value(kind, Silent);
}

quint64 FaultLedger::total(const QString &link) const
{
    quint64 sum = 0;
    for (const quint64 count : m_links.value(link).kinds)
        sum += count;
    return sum;
}

QString FaultLedger::text(const QString &link) const
{
    const Counts counts = m_links.value(link);
    QStringList parts;
    for (const QString &kind : counts.order)
        parts << QStringLiteral("%1 %2").arg(kind).arg(counts.kinds.value(kind));
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

// Over Modbus/TCP a garbled header shows as a timeout, a broken frame or an exception, stray bytes as
// a timeout or a broken frame, and every closed connection as one loss of the link; on a serial line
// the CRC catches every garbled or stray byte and a closed connection is just silence. The most
// particular faults come first and those that only may cost an exchange last.
const QList<FaultLedger::Rule> &FaultLedger::rules(bool tcp)
{
    static const QList<Rule> tcpRules = {
        { Exception, ExceptionFailure, false },
        { Silent, TimeoutFailure, false },
        { LateLong, TimeoutFailure, false },
        { PartialLong, TimeoutFailure, false },
        { Stray, FramingFailure | TimeoutFailure, false },
        { Garble, ExceptionFailure | FramingFailure | TimeoutFailure, false },
        { LateMid, TimeoutFailure, true },
        { PartialMid, TimeoutFailure, true },
    };
    static const QList<Rule> serialRules = {
        { Exception, ExceptionFailure, false }, { Silent, TimeoutFailure, false },
        { LateLong, TimeoutFailure, false },    { Close, TimeoutFailure, false },
        { Garble, FramingFailure, false },      { Stray, FramingFailure, false },
        { LateMid, TimeoutFailure, true },      { PartialMid, FramingFailure, true },
    };
    return tcp ? tcpRules : serialRules;
}

FaultLedger::Verdict FaultLedger::reconcile(const QString &link, const LinkCheck::Figures &figures) const
{
    const bool tcp = link == QLatin1String("tcp");
    Counts left = m_links.value(link);
    Verdict verdict;
    matchFailures(tcp, figures, left, verdict);
    verdict.unexplained += figures.failures[LinkCheck::Other];
    countUnfailed(tcp, left, verdict);
    matchCloses(tcp, figures, left, verdict);
    return verdict;
}

// Failures are matched kind by kind to the faults that can cause them, in the order of the rules.
void FaultLedger::matchFailures(bool tcp, const LinkCheck::Figures &figures, Counts &left, Verdict &verdict)
{
    const std::pair<int, quint64> failures[] = {
        { ExceptionFailure, figures.failures[LinkCheck::Exception] },
        { FramingFailure, figures.failures[LinkCheck::Framing] },
        { TimeoutFailure, figures.failures[LinkCheck::Timeout] },
    };
    for (auto [category, count] : failures) {
        for (const Rule &rule : rules(tcp)) {
            if (!(rule.categories & category))
                continue;
            const quint64 taken = std::min(count, left.sources[rule.source]);
            left.sources[rule.source] -= taken;
            count -= taken;
        }
        verdict.unexplained += count;
        if (count > 0)
            verdict.details << QStringLiteral("%1 failures without a fault %2").arg(categoryName(category)).arg(count);
    }
}

void FaultLedger::countUnfailed(bool tcp, const Counts &left, Verdict &verdict)
{
    for (const Rule &rule : rules(tcp)) {
        if (rule.optional || left.sources[rule.source] == 0)
            continue;
        verdict.unfailed += left.sources[rule.source];
        verdict.details << QStringLiteral("%1 faults without a failure %2")
                               .arg(sourceName(rule.source))
                               .arg(left.sources[rule.source]);
    }
}

// Every closed connection is lost once and made again; the failures while it is away are its doing.
void FaultLedger::matchCloses(bool tcp, const LinkCheck::Figures &figures, const Counts &left, Verdict &verdict)
{
    const quint64 closes = tcp ? left.sources[Close] : 0;
    const quint64 whileAway = figures.failures[LinkCheck::Closed] + figures.failures[LinkCheck::Reconnecting];
    verdict.unexplained += figures.linksLost > closes ? figures.linksLost - closes : 0;
    verdict.unexplained += figures.linksLost == 0 ? whileAway : 0;
    verdict.unfailed += closes > figures.linksLost ? closes - figures.linksLost : 0;
    if (figures.linksLost != closes)
        verdict.details << QStringLiteral("links lost %1 for %2 closes").arg(figures.linksLost).arg(closes);
}

QString FaultLedger::sourceName(int source)
{
    static const char *const names[] = {
        "silent", "late (after the timeout)", "late (about the timeout)", "late (in time)", "garble",
        "partial (rest after the timeout)", "partial (rest about the timeout)", "partial (rest in time)", "stray",
        "exception", "close",
    };
    return QLatin1String(names[source]);
}
