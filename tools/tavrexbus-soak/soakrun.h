#ifndef SOAKRUN_H
#define SOAKRUN_H

#include <QtCore/QElapsedTimer>
#include <QtCore/QObject>
#include <QtCore/QTimer>

#include <memory>

class FaultLedger;
class LinkCheck;
class ModbusClient;
class ModbusItemAddressedBase;
class QQmlEngine;
class SimulatorChild;

struct SoakSettings
{
    double minutes = 1;
    quint32 seed = 1;
    int items = 1000;
    int answerTimeout = 2000;
    QString faults;
};

// The figures of this process that must stay flat.
struct ProcessFigures
{
    double memoryMb = 0;
    int descriptors = 0;
    int threads = 0;

    static ProcessFigures now();
};

// The run: the QML client on both links, the clock, a summary line a minute and the verdict.
class SoakRun : public QObject
{
    Q_OBJECT

public:
    SoakRun(const SoakSettings &settings, FaultLedger &ledger, SimulatorChild &simulator);
    ~SoakRun() override;

    // The registers the items of both links take, from 401001.
    static int registers(int items);

    bool load(QQmlEngine &engine, QString *error);
    // Starts the clock; the writes follow once both links are up.
    void start();
    // Ends the run early, as at its end.
    void stop();
    // Prints the last lines; 0 when all went well.
    int verdict();

private:
    bool addLink(const QString &name, int itemsPerLink, QString *error);
    QObject *child(const QString &name) const;
    QList<ModbusItemAddressedBase *> items(const QString &name) const;
    bool begin();
    void tick();
    void newMinute();
    void finish();
    void drain();
    QString summary(const QString &label) const;

    SoakSettings m_settings;
    FaultLedger &m_ledger;
    SimulatorChild &m_simulator;
    std::unique_ptr<QObject> m_root;
    QList<LinkCheck *> m_links;
    QList<ModbusClient *> m_clients;
    QElapsedTimer m_clock;
    QTimer m_ticker;
    QTimer m_quiet;
    int m_minute = 0;
    QList<quint64> m_successesAtMinute;
    int m_stalls = 0;
    ProcessFigures m_first;
    ProcessFigures m_low;
    ProcessFigures m_high;
    bool m_started = false;
    bool m_stopRequested = false;
    bool m_draining = false;
};

#endif
