#ifndef PROGRAMRUN_H
#define PROGRAMRUN_H

#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>

// A program of the project (the command-line client, an example) run to its end: exit status
// (-1 if it crashed or hung for a minute) and what it printed.
struct ProgramRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

inline ProgramRun runProgram(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
             QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError()) };
}

#ifdef TAVREXBUS_CLI
inline ProgramRun runCli(const QStringList &arguments)
{
    return runProgram(QStringLiteral(TAVREXBUS_CLI), arguments);
}
#endif

#ifdef TAVREXBUS_SIM
// The simulator as a program of its own, stopped when this goes. Unless the arguments choose its
// links, it listens on a free TCP port of 127.0.0.1.
class SimulatorProcess : public QProcess
{
public:
    ~SimulatorProcess() override
    {
        terminate();
        if (!waitForFinished(5000))
            kill();
        waitForFinished();
    }

    // Starts it and returns the first device URL it says it listens on, or nothing if it stops first.
    QString launch(const QStringList &arguments)
    {
        const bool ownLinks = arguments.contains(QLatin1String("--tcp")) || arguments.contains(QLatin1String("--no-tcp"));
        start(QStringLiteral(TAVREXBUS_SIM), (ownLinks ? QStringList() : QStringList{ "--tcp", "127.0.0.1:0" }) + arguments);
        static const QRegularExpression ready(QStringLiteral("^listening on (\\S+)"));
        while (waitForStarted(10000) && (canReadLine() || waitForReadyRead(30000))) {
            const QRegularExpressionMatch match = ready.match(QString::fromUtf8(readLine()));
            if (match.hasMatch())
                return match.captured(1);
        }
        return QString();
    }
};
#endif

#endif
