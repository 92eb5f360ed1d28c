#include "simulatorchild.h"

#include "faultledger.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QRegularExpression>

SimulatorChild::SimulatorChild(FaultLedger &ledger, QObject *parent)
    : QObject(parent)
    , m_ledger(ledger)
{
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &SimulatorChild::readLines);
    connect(&m_process, &QProcess::finished, this, [this] { m_crashed = m_crashed || !m_stopping; });
}

SimulatorChild::~SimulatorChild()
{
    stop();
}

bool SimulatorChild::start(int registers, const QString &faults, quint32 seed, QString *error)
{
    if (!m_map.open()) {
        *error = QStringLiteral("can't write the register map: %1").arg(m_map.errorString());
        return false;
    }
    m_map.write(
        QStringLiteral(R"({"name": "SOAK", "registers": [{"address": 401001, "count": %1}]})").arg(registers).toUtf8());
    m_map.flush();
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tavrexbus-sim");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program,
                    { "--tcp", "127.0.0.1:0", "--serial", "pty", "--map", m_map.fileName(), "--faults", faults,
                      "--seed", QString::number(seed) });
    const QDeadlineTimer deadline(30000);
    while (m_tcpPort == 0 && m_process.state() != QProcess::NotRunning && !deadline.hasExpired())
        m_process.waitForReadyRead(1000);
    if (m_tcpPort != 0)
        return true;
    *error = QStringLiteral("the simulator (%1) did not start: %2").arg(program, m_process.errorString());
    return false;
}

void SimulatorChild::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_stopping = true;
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished();
    }
    readLines();
}

void SimulatorChild::readLines()
{
    static const QRegularExpression ready(
        QStringLiteral("^listening on tcp://127\\.0\\.0\\.1:(\\d+) and rtu://(\\S+)"));
    while (m_process.canReadLine()) {
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        const QRegularExpressionMatch match = ready.match(line);
        if (match.hasMatch()) {
            m_tcpPort = match.captured(1).toInt();
            m_serialDevice = match.captured(2);
        } else {
            m_ledger.take(line);
        }
    }
}
