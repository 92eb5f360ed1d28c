#include "faultplan.h"

#include <TavrexBus1/tavrexbus.h>

#include <QtCore/QMetaEnum>
#include <QtCore/QRegularExpression>

namespace {

struct KindInfo
{
    FaultPlan::Kind kind;
    const char *name;
    int low; // the default argument; low == high == 0: the kind takes none
    int high;
};

constexpr KindInfo Kinds[] = {
    { FaultPlan::Silent, "silent", 0, 0 },
    { FaultPlan::Late, "late", 500, 2000 },
    { FaultPlan::Garble, "garble", 0, 0 },
    { FaultPlan::Partial, "partial", 50, 500 },
    { FaultPlan::Stray, "stray", 1, 8 },
    { FaultPlan::Exception, "exception", TavrexBus::SlaveDeviceBusy, TavrexBus::SlaveDeviceBusy },
    { FaultPlan::Close, "close", 0, 0 },
};

constexpr int MaxDelay = 600000;
constexpr int MaxStray = 255;

const KindInfo *infoOf(FaultPlan::Kind kind)
{
    for (const KindInfo &info : Kinds) {
        if (info.kind == kind)
            return &info;
    }
    return nullptr;
}

QString kindNames()
{
    QStringList names;
    for (const KindInfo &info : Kinds)
        names << QLatin1String(info.name);
    return names.join(QStringLiteral(", "));
}

QString exceptionCodes()
{
    const QMetaEnum codes = QMetaEnum::fromType<TavrexBus::ExceptionCode>();
    QStringList values;
    for (int i = 0; i < codes.keyCount(); ++i) {
        if (codes.value(i) != TavrexBus::NoException)
            values << QString::number(codes.value(i));
    }
    return values.join(QStringLiteral(", "));
}

bool isExceptionCode(int code)
{
    return code != TavrexBus::NoException && QMetaEnum::fromType<TavrexBus::ExceptionCode>().valueToKey(code);
}

// "300", "300ms", "200-1500" or "200-1500ms" (the unit only where it is allowed).
bool parseRange(const QString &text, bool milliseconds, int &low, int &high)
{
    static const QRegularExpression timeRange(QStringLiteral("^(\\d{1,9})(?:-(\\d{1,9}))?(?:ms)?$"));
    static const QRegularExpression countRange(QStringLiteral("^(\\d{1,9})(?:-(\\d{1,9}))?$"));
    const QRegularExpressionMatch match = (milliseconds ? timeRange : countRange).match(text);
    if (!match.hasMatch())
        return false;
    low = match.captured(1).toInt();
    high = match.captured(2).isEmpty() ? low : match.captured(2).toInt();
    return low <= high;
}

} // namespace

bool FaultPlan::parse(const QString &text, QString *error)
{
    m_rules.clear();
    const QStringList rules = text.split(QLatin1Char(','));
    for (const QString &rule : rules) {
        if (rule.trimmed().isEmpty()) {
            *error = QStringLiteral("--faults: a rule is missing between two commas, or the text is empty");
            return false;
        }
        if (!parseRule(rule.simplified(), error))
            return false;
    }
    double total = 0;
    for (const Rule &rule : std::as_const(m_rules))
        total += rule.probability;
    if (total > 100.0) {
        *error = QStringLiteral("--faults: the probabilities add up to %1%, more than 100%").arg(total);
        return false;
    }
    return true;
}

bool FaultPlan::parseRule(const QString &text, QString *error)
{
    const QStringList words = text.split(QLatin1Char(' '));
    const auto fail = [&](const QString &why) {
        *error = QStringLiteral("--faults: \"%1\": %2").arg(text, why);
        return false;
    };
    Rule rule;
    for (const KindInfo &info : Kinds) {
        if (words.first() == QLatin1String(info.name))
            rule.kind = info.kind;
    }
    if (rule.kind == None)
        return fail(QStringLiteral("unknown fault \"%1\" (one of: %2)").arg(words.first(), kindNames()));
    int next = 1;
    if (words.value(next) == QLatin1String("every")) {
        bool ok = false;
        rule.period = words.value(next + 1).toULongLong(&ok);
        if (!ok || rule.period == 0)
            return fail(QStringLiteral("\"every\" needs a whole number of requests above 0, as every 50"));
        next += 2;
    } else if (words.value(next).endsWith(QLatin1Char('%'))) {
        bool ok = false;
        rule.probability = words.value(next).chopped(1).toDouble(&ok);
        if (!ok || !(rule.probability > 0 && rule.probability <= 100))
            return fail(QStringLiteral("%1 is not a percentage above 0 and up to 100").arg(words.value(next)));
        ++next;
    } else {
        return fail(QStringLiteral("say how often, as 2% (of the requests, at random) or every 50 (requests)"));
    }
    const QString problem = argumentProblem(rule, words.value(next));
    if (!problem.isEmpty())
        return fail(problem);
    if (words.size() > next + 1)
        return fail(QStringLiteral("unexpected \"%1\"").arg(words.value(next + 1)));
    m_rules.append(rule);
    return true;
}

// Empty when text is a good argument for the rule's kind (or there is none), else why not.
QString FaultPlan::argumentProblem(Rule &rule, const QString &text)
{
    const KindInfo *info = infoOf(rule.kind);
    rule.low = info->low;
    rule.high = info->high;
    if (text.isEmpty())
        return QString();
    QString why;
    switch (rule.kind) {
    case Late:
    case Partial:
        if (!parseRange(text, true, rule.low, rule.high) || rule.high > MaxDelay)
            why = QStringLiteral("the %1 is milliseconds, as 300ms or 200-1500ms (up to %2)")
                      .arg(rule.kind == Late ? QStringLiteral("delay") : QStringLiteral("pause"))
                      .arg(MaxDelay);
        break;
    case Stray:
        if (!parseRange(text, false, rule.low, rule.high) || rule.low < 1 || rule.high > MaxStray)
            why = QStringLiteral("the byte count is a number or a range of 1-%1, as 3 or 1-8").arg(MaxStray);
        break;
    case Exception:
        rule.low = rule.high = text.toInt();
        if (!isExceptionCode(rule.low))
            why = QStringLiteral("exception code %1 is not one of %2").arg(text, exceptionCodes());
        break;
    default:
        why = QStringLiteral("%1 takes no argument").arg(QLatin1String(info->name));
    }
    return why;
}

bool FaultPlan::isEmpty() const
{
    return m_rules.isEmpty();
}

void FaultPlan::seed(quint32 seed, quint32 stream)
{
    const quint32 words[] = { seed, stream };
    m_random = QRandomGenerator(words, 2);
}

FaultPlan::Fault FaultPlan::next()
{
    ++m_requests;
    for (const Rule &rule : std::as_const(m_rules)) {
        if (rule.period != 0 && m_requests % rule.period == 0)
            return faultOf(rule);
    }
    double draw = m_random.generateDouble() * 100.0;
    for (const Rule &rule : std::as_const(m_rules)) {
        if (rule.probability == 0)
            continue;
        if (draw < rule.probability)
            return faultOf(rule);
        draw -= rule.probability;
    }
    return Fault();
}

FaultPlan::Fault FaultPlan::faultOf(const Rule &rule)
{
    return { rule.kind, rule.low + int(bounded(quint32(rule.high - rule.low) + 1)) };
}

quint64 FaultPlan::requests() const
{
    return m_requests;
}

quint32 FaultPlan::bounded(quint32 bound)
{
    return bound <= 1 ? 0 : m_random.bounded(bound);
}

QString FaultPlan::kindName(Kind kind)
{
    const KindInfo *info = infoOf(kind);
    return info ? QLatin1String(info->name) : QStringLiteral("none");
}
