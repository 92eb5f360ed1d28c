#ifndef SIMULATORCHILD_H
#define SIMULATORCHILD_H

#include <QtCore/QObject>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryFile>

class FaultLedger;

// The simulator as a child process, on Modbus/TCP and a pseudo-terminal of its own, with faults:
// its register map, its ready line and every fault it tells of, which go to the ledger.
class SimulatorChild : public QObject
{
    Q_OBJECT

public:
    explicit SimulatorChild(FaultLedger &ledger, QObject *parent = nullptr);
    ~SimulatorChild() override;

    // Starts tavrexbus-sim from this program's directory with a block of registers holding
    // registers from 401001 and waits for its ready line.
    bool start(int registers, const QString &faults, quint32 seed, QString *error);
    // Stops it and takes the last lines it printed.
    void stop();

    int tcpPort() const { return m_tcpPort; }
    QString serialDevice() const { return m_serialDevice; }
    // The simulator went away by itself.
    bool crashed() const { return m_crashed; }

private:
    void readLines();

    FaultLedger &m_ledger;
    QTemporaryFile m_map;
    QProcess m_process;
    int m_tcpPort = 0;
    QString m_serialDevice;
    bool m_stopping = false;
    bool m_crashed = false;
};

#endif
