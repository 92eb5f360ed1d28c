#include "soakrun.h"

#include "faultledger.h"
#include "linkcheck.h"
#include "simulatorchild.h"

#include <TavrexBus1/modbusclient.h>
#include <TavrexBus1/modbuscustombytes.h>
#include <TavrexBus1/modbusitemaddressedbase.h>
#include <TavrexBus1/modbustcpclient.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTextStream>
#include <QtQml/QJSValue>
#include <QtQml/QQmlComponent>
#include <QtQml/QQmlContext>
#include <QtQml/QQmlEngine>

#include <algorithm>

namespace {

constexpr int PollInterval = 1000;
constexpr int LinksUpTimeout = 30000;
// Items take their registers one block after the other, for each link a block of its own.
constexpr quint32 TcpFirstRegister = 401001;
constexpr int RegistersPerEightItems = 19;

int linkRegisters(int itemsPerLink)
{
    return (itemsPerLink + 7) / 8 * RegistersPerEightItems + 8;
}

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

} // namespace

ProcessFigures ProcessFigures::now()
{
    ProcessFigures figures;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            const QList<QByteArray> words = line.simplified().split(' ');
            if (words.first() == "VmRSS:")
                figures.memoryMb = words.value(1).toDouble() / 1024.0;
            else if (words.first() == "Threads:")
                figures.threads = words.value(1).toInt();
        }
    }
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    figures.descriptors = int(descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
    return figures;
}

SoakRun::SoakRun(const SoakSettings &settings, FaultLedger &ledger, SimulatorChild &simulator)
    : m_settings(settings)
    , m_ledger(ledger)
    , m_simulator(simulator)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(2 * settings.answerTimeout + 2000);
    connect(&m_quiet, &QTimer::timeout, this, &SoakRun::drain);
}

SoakRun::~SoakRun() = default;

int SoakRun::registers(int items)
{
    return 2 * linkRegisters(items / 2);
}

QObject *SoakRun::child(const QString &name) const
{
    return qvariant_cast<QObject *>(m_root->property(name.toLatin1()));
}

bool SoakRun::load(QQmlEngine &engine, QString *error)
{
    const int perLink = m_settings.items / 2;
    engine.rootContext()->setContextProperty(
        QStringLiteral("soak"),
        QVariantMap{ { "tcpPort", m_simulator.tcpPort() },
                     { "serialDevice", m_simulator.serialDevice() },
                     { "answerTimeout", m_settings.answerTimeout },
                     { "interval", PollInterval },
                     { "itemsPerLink", perLink },
                     { "tcpFirstRegister", TcpFirstRegister },
                     { "rtuFirstRegister", TcpFirstRegister + quint32(linkRegisters(perLink)) } });
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/soak.qml")));
    m_root.reset(component.create());
    if (!m_root) {
        *error = component.errorString();
        return false;
    }
    return addLink("tcp", perLink, error) && addLink("rtu", perLink, error);
}

// The link, client, writer and items soak.qml declares under that name's prefix.
bool SoakRun::addLink(const QString &name, int itemsPerLink, QString *error)
{
    auto *link = qobject_cast<ModbusTransport *>(child(name + QStringLiteral("Link")));
    auto *client = qobject_cast<ModbusClient *>(child(name + QStringLiteral("Meter")));
    auto *writer = qobject_cast<ModbusCustomBytes *>(child(name + QStringLiteral("Writer")));
    const QList<ModbusItemAddressedBase *> polled = items(name + QStringLiteral("Items"));
    if (!link || !client || !writer || polled.size() != itemsPerLink) {
        *error = QStringLiteral("soak.qml does not declare the %1 link, its client, writer and items").arg(name);
        return false;
    }
    if (auto *tcp = qobject_cast<ModbusTcpClient *>(link))
        tcp->setReadAnswerTimeout(m_settings.answerTimeout);
    auto *check = new LinkCheck(name, *link, *client, *writer, polled, m_settings.seed + quint32(m_links.size()), this);
    connect(check, &LinkCheck::activity, &m_quiet, [this] {
        if (m_draining)
            m_quiet.start();
    });
    m_links << check;
    m_clients << client;
    m_successesAtMinute << 0;
    return true;
}

QList<ModbusItemAddressedBase *> SoakRun::items(const QString &name) const
{
    QList<ModbusItemAddressedBase *> result;
    QVariant value = m_root->property(name.toLatin1());
    if (value.userType() == qMetaTypeId<QJSValue>())
        value = value.value<QJSValue>().toVariant();
    const QVariantList list = value.toList();
    for (const QVariant &item : list) {
        if (auto *addressed = qobject_cast<ModbusItemAddressedBase *>(item.value<QObject *>()))
            result << addressed;
    }
    return result;
}

void SoakRun::stop()
{
    m_stopRequested = true;
}

void SoakRun::start()
{
    m_clock.start();
    connect(&m_ticker, &QTimer::timeout, this, &SoakRun::tick);
    m_ticker.start(1000);
}

bool SoakRun::begin()
{
    if (!std::all_of(m_clients.cbegin(), m_clients.cend(),
                     [](const ModbusClient *client) { return client->connected(); }))
        return false;
    for (LinkCheck *link : std::as_const(m_links))
        link->setWriting(true);
    m_first = m_low = m_high = ProcessFigures::now();
    m_clock.start();
    m_started = true;
    return true;
}

void SoakRun::tick()
{
    if (!m_started && !begin()) {
        if (m_clock.elapsed() < LinksUpTimeout && !m_simulator.crashed() && !m_stopRequested)
            return;
        ++m_stalls;
        m_started = true;
    }
    if (m_simulator.crashed() || m_stopRequested || m_clock.elapsed() >= qint64(m_settings.minutes * 60000)) {
        m_ticker.stop();
        finish();
        return;
    }
    if (m_clock.elapsed() >= (m_minute + 1) * 60000LL)
        newMinute();
}

// A link that did no exchange right for a whole minute is stalled.
void SoakRun::newMinute()
{
    ++m_minute;
    for (int i = 0; i < m_links.size(); ++i) {
        const quint64 successes = m_links.at(i)->figures().successes;
        m_stalls += successes == m_successesAtMinute.at(i);
        m_successesAtMinute[i] = successes;
    }
    const ProcessFigures now = ProcessFigures::now();
    if (m_minute == 1)
        m_first = m_low = m_high = now;
    m_low = { qMin(m_low.memoryMb, now.memoryMb), qMin(m_low.descriptors, now.descriptors),
              qMin(m_low.threads, now.threads) };
    m_high = { qMax(m_high.memoryMb, now.memoryMb), qMax(m_high.descriptors, now.descriptors),
               qMax(m_high.threads, now.threads) };
    out() << summary(QStringLiteral("minute %1").arg(m_minute)) << Qt::endl;
}

// Stops writing and polling, then waits until the links have been quiet for longer than any fault
// can take to show, so that every fault told of has had its effect.
void SoakRun::finish()
{
    m_draining = true;
    for (LinkCheck *link : std::as_const(m_links))
        link->setWriting(false);
    for (ModbusClient *client : std::as_const(m_clients))
        client->setIntervalReadingEnabled(false);
    m_quiet.start();
}

void SoakRun::drain()
{
    if (std::any_of(m_links.cbegin(), m_links.cend(), [](const LinkCheck *link) { return link->writePending(); })) {
        m_quiet.start();
        return;
    }
    QCoreApplication::quit();
}

QString SoakRun::summary(const QString &label) const
{
    LinkCheck::Figures total;
    QStringList exchanges;
    for (const LinkCheck *link : m_links) {
        const LinkCheck::Figures &figures = link->figures();
        total.exchanges += figures.exchanges;
        for (int i = 0; i < LinkCheck::FailureKinds; ++i)
            total.failures[i] += figures.failures[i];
        total.linksLost += figures.linksLost;
        total.recoveries += figures.recoveries;
        total.writes += figures.writes;
        total.failedWrites += figures.failedWrites;
        total.lostWrites += figures.lostWrites;
        total.wrongValues += figures.wrongValues;
        exchanges << QStringLiteral("%1 %2").arg(link->name()).arg(figures.exchanges);
    }
    QStringList failures;
    quint64 failed = 0;
    for (int i = 0; i < LinkCheck::FailureKinds; ++i) {
        failures << QStringLiteral("%1 %2").arg(LinkCheck::failureName(LinkCheck::Failure(i))).arg(total.failures[i]);
        failed += total.failures[i];
    }
    const ProcessFigures now = ProcessFigures::now();
    return QStringLiteral("%1: exchanges %2 (%3), faults %4, failures %5 (%6), links lost %7, recoveries %8, "
                          "writes %9 (failed %10), lost writes %11, wrong values %12, memory %13 MB, descriptors %14, "
                          "threads %15")
        .arg(label)
        .arg(total.exchanges)
        .arg(exchanges.join(QStringLiteral(", ")))
        .arg(m_ledger.total(QStringLiteral("tcp")) + m_ledger.total(QStringLiteral("rtu")))
        .arg(failed)
        .arg(failures.join(QStringLiteral(", ")))
        .arg(total.linksLost)
        .arg(total.recoveries)
        .arg(total.writes)
        .arg(total.failedWrites)
        .arg(total.lostWrites)
        .arg(total.wrongValues)
        .arg(now.memoryMb, 0, 'f', 1)
        .arg(now.descriptors)
        .arg(now.threads);
}

int SoakRun::verdict()
{
    const ProcessFigures end = ProcessFigures::now();
    out() << summary(QStringLiteral("end")) << Qt::endl;
    quint64 unexplained = 0;
    quint64 unfailed = 0;
    quint64 bad = 0;
    for (const LinkCheck *link : std::as_const(m_links)) {
        const FaultLedger::Verdict verdict = m_ledger.reconcile(link->name(), link->figures());
        out() << QStringLiteral("faults %1: %2; failures without a fault %3, faults without a failure %4")
                     .arg(link->name(), m_ledger.text(link->name()))
                     .arg(verdict.unexplained)
                     .arg(verdict.unfailed)
              << Qt::endl;
        for (const QString &line : verdict.details + link->figures().surprises)
            out() << "  " << line << Qt::endl;
        unexplained += verdict.unexplained;
        unfailed += verdict.unfailed;
        bad += link->figures().lostWrites + link->figures().wrongValues;
    }
    const bool crashed = m_simulator.crashed();
    out() << QStringLiteral(
                 "soak: %1 minutes, %2, %3 lost or wrong writes, %4 unaccounted failures, %5 faults "
                 "without a failure, %6 stalled minutes; memory %7 MB at minute 1, %8 MB at the end (%9%10 MB); "
                 "descriptors %11-%12, threads %13-%14")
                 .arg(double(m_clock.elapsed()) / 60000.0, 0, 'f', 1)
                 .arg(crashed ? QStringLiteral("the simulator crashed") : QStringLiteral("no crash"))
                 .arg(bad)
                 .arg(unexplained)
                 .arg(unfailed)
                 .arg(m_stalls)
                 .arg(m_first.memoryMb, 0, 'f', 1)
                 .arg(end.memoryMb, 0, 'f', 1)
                 .arg(end.memoryMb >= m_first.memoryMb ? QStringLiteral("+") : QString())
                 .arg(end.memoryMb - m_first.memoryMb, 0, 'f', 2)
                 .arg(qMin(m_low.descriptors, end.descriptors))
                 .arg(qMax(m_high.descriptors, end.descriptors))
                 .arg(qMin(m_low.threads, end.threads))
                 .arg(qMax(m_high.threads, end.threads))
          << Qt::endl;
    return crashed || bad || unexplained || unfailed || m_stalls ? 1 : 0;
}
