#ifndef SIMULATEDMETER_H
#define SIMULATEDMETER_H

#include <TavrexBus1/transport.h>

#include <QtCore/qcoreapplication.h>
#include <QtCore/qelapsedtimer.h>
#include <QtCore/qprocess.h>
#include <QtCore/qregularexpression.h>
#include <QtCore/qtemporaryfile.h>

#include <benchmark/benchmark.h>

// The simulator program on a free port of 127.0.0.1, serving the given register map (with further
// arguments, such as --devices); port() is 0 when it did not start.
class SimulatedMeter
{
public:
    explicit SimulatedMeter(const QByteArray &mapJson, const QStringList &arguments = {})
    {
        m_map.open();
        m_map.write(mapJson);
        m_map.flush();
        const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/tavrexbus-sim");
        m_process.start(program, QStringList{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0"),
                                             QStringLiteral("--map"), m_map.fileName()}
                                     + arguments);
        if (!m_process.waitForStarted())
            return;
        static const QRegularExpression ready(QStringLiteral("listening on tcp://127\\.0\\.0\\.1:(\\d+)"));
        QElapsedTimer timer;
        timer.start();
        while (m_port == 0 && timer.elapsed() < 30000 && m_process.waitForReadyRead(1000)) {
            const QRegularExpressionMatch match = ready.match(QString::fromLatin1(m_process.peek(4096)));
            if (match.hasMatch())
                m_port = match.captured(1).toInt();
        }
    }
    ~SimulatedMeter()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }
    int port() const { return m_port; }
    // Connects link, made for port(); when the simulator or the link is not there, skips the benchmark.
    bool reach(Transport &link, benchmark::State &state) const
    {
        if (m_port != 0 && link.connectTransport())
            return true;
        state.SkipWithError("cannot start or reach the simulator (build tavrexbus-sim first)");
        return false;
    }
    qint64 processId() const { return m_process.processId(); }

private:
    QTemporaryFile m_map;
    QProcess m_process;
    int m_port = 0;
};

#endif
