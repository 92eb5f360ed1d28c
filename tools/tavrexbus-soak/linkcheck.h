#ifndef LINKCHECK_H
#define LINKCHECK_H

#include <TavrexBus1/modbusbytes.h>

#include <QtCore/QObject>
#include <QtCore/QRandomGenerator>
#include <QtCore/QTimer>

class ModbusClient;
class ModbusCustomBytes;
class ModbusItemAddressedBase;
class ModbusTransport;

// One link of the client under soak. It counts the link's exchanges and its failures by kind,
// writes random values through the link's writer item, and checks every read against what the
// device must hold: the last value written with success, or, after a failed write, either.
class LinkCheck : public QObject
{
    Q_OBJECT

public:
    enum Failure { Timeout, Framing, Exception, Closed, Reconnecting, Other, FailureKinds };

    struct Figures
    {
        quint64 exchanges = 0;
        quint64 failures[FailureKinds] = {};
        quint64 linksLost = 0; // connections lost and made again; each is one fault's doing
        quint64 recoveries = 0;
        quint64 successes = 0;
        quint64 writes = 0;
        quint64 failedWrites = 0;
        quint64 lostWrites = 0;
        quint64 wrongValues = 0;
        QStringList surprises; // the first messages nothing explains, for the report
    };

    LinkCheck(const QString &name, ModbusTransport &link, ModbusClient &client, ModbusCustomBytes &writer,
              const QList<ModbusItemAddressedBase *> &items, quint32 seed, QObject *parent = nullptr);

    QString name() const { return m_name; }
    const Figures &figures() const { return m_figures; }
    void setWriting(bool on);
    bool writePending() const { return m_writing >= 0; }

    static QString failureName(Failure failure);

Q_SIGNALS:
    // Anything happened on the link: an answer, a failure, a result.
    void activity();

private:
    // What the device holds in an item's registers, as far as the client can know.
    struct Expected
    {
        ModbusBytes value;
        ModbusBytes before; // the value a successful write replaced
        QList<ModbusBytes> perhaps; // values of failed writes since, which may have been carried out
        bool written = false; // value comes from a write reported done
    };

    void onClientError(const QString &message);
    void onRead(int index);
    void onWritten();
    void onWriteFailed(const QString &message);
    void succeeded();
    void surprise(const QString &message);
    void writeNext();
    ModbusBytes randomValue(const ModbusItemAddressedBase &item);

    QString m_name;
    ModbusCustomBytes &m_writer;
    QList<ModbusItemAddressedBase *> m_items;
    QList<Expected> m_expected;
    QRandomGenerator m_random;
    Figures m_figures;
    bool m_failing = false;
    bool m_reconnecting = false;
    bool m_writingOn = false;
    int m_writing = -1; // the item a write is under way for
    ModbusBytes m_written;
    QTimer m_writeTimer;
};

#endif
