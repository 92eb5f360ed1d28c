#ifndef MODBUSARCHREADER_H
#define MODBUSARCHREADER_H

#include "errobject.h"
#include "modbusbytesarray.h"

#include <QtCore/qhash.h>
#include <QtCore/qpointer.h>
#include <QtCore/qvariant.h>

#include <memory>

class ModbusArchLabel;
class ModbusArchRecord;

/// Reads every record of a range of labels (from, to), of one archive or of several one after the other,
/// into the array of a record item, reporting its progress. The record item names the archive and the
/// client; the reader asks the device which labels exist and reads the records at them.
///
/// A reading that stops before its end (stop(), an error of the device or the link, an answer that does
/// not fit) keeps what it collected, hands it to the record and tells where it stopped (stoppedAt).
///
/// Available in QML as `ModbusArchReader` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusArchReader : public ErrObject
{
    Q_OBJECT
    Q_MOC_INCLUDE("modbusarchrecord.h")
    /// The record item that names the archive and receives the records; not owned.
    Q_PROPERTY(ModbusArchRecord *record READ record WRITE setRecord NOTIFY recordChanged)
    /// The first label of the range, as QML gives labels; none: from the archive's first record.
    Q_PROPERTY(QVariant from READ from WRITE setFrom NOTIFY fromChanged)
    /// The last label of the range, as QML gives labels; none: to the archive's last record (function 67;
    /// function 65 cannot tell where an archive ends and reads on until maxRecords or stop()).
    Q_PROPERTY(QVariant to READ to WRITE setTo NOTIFY toChanged)
    /// A reading is under way; setting it starts or stops one.
    Q_PROPERTY(bool running READ running WRITE setRunning NOTIFY runningChanged)
    /// The records expected (function 65: every label of the range), -1 when unknown (function 67).
    Q_PROPERTY(int total READ total NOTIFY totalChanged)
    /// The records collected so far.
    Q_PROPERTY(int progress READ progress NOTIFY progressChanged)
    /// Records asked for in one request (fewer where the range has a gap or ends).
    Q_PROPERTY(int recordsPerRequest READ recordsPerRequest WRITE setRecordsPerRequest
               NOTIFY recordsPerRequestChanged)
    /// Fit the records per request to what one answer can carry, once the record size is known.
    Q_PROPERTY(bool recordsPerRequestOptimization READ recordsPerRequestOptimization
               WRITE setRecordsPerRequestOptimization NOTIFY recordsPerRequestOptimizationChanged)
    /// Hand the records collected so far to the record after every answer, not only at the end.
    Q_PROPERTY(bool liveResult READ liveResult WRITE setLiveResult NOTIFY liveResultChanged)
    /// Stop after this many records; 0: no limit.
    Q_PROPERTY(int maxRecords READ maxRecords WRITE setMaxRecords NOTIFY maxRecordsChanged)
    /// Labels per label request, 2-62.
    Q_PROPERTY(int maxRequestLabels READ maxRequestLabels WRITE setMaxRequestLabels
               NOTIFY maxRequestLabelsChanged)
    /// The archives to read one after the other; empty: the record's own archive.
    Q_PROPERTY(QVariantList archIndexes READ archIndexes WRITE setArchIndexes NOTIFY archIndexesChanged)
    /// Where the last reading stopped before its end: the first label not collected, as QML sees
    /// labels. Empty while running and after a reading that completed.
    Q_PROPERTY(QVariant stoppedAt READ stoppedAt NOTIFY stoppedAtChanged)

public:
    /// An idle reader without a record.
    explicit ModbusArchReader(QObject *parent = nullptr);
    /// Drops a reading under way without handing its records over.
    ~ModbusArchReader() override;

    /// The record item.
    ModbusArchRecord *record() const { return m_record; }
    /// The first label of the range.
    QVariant from() const { return m_from; }
    /// The last label of the range.
    QVariant to() const { return m_to; }
    /// Whether a reading is under way.
    bool running() const { return m_running; }
    /// The records expected, -1 when unknown.
    int total() const { return m_total; }
    /// The records collected.
    int progress() const { return m_progress; }
    /// Records per request.
    int recordsPerRequest() const { return m_recordsPerRequest; }
    /// Whether the records per request follow the record size.
    bool recordsPerRequestOptimization() const { return m_recordsPerRequestOptimization; }
    /// Whether the record receives the records after every answer.
    bool liveResult() const { return m_liveResult; }
    /// The record limit, 0 for none.
    int maxRecords() const { return m_maxRecords; }
    /// Labels per label request.
    int maxRequestLabels() const { return m_maxRequestLabels; }
    /// The archives to read.
    QVariantList archIndexes() const { return m_archIndexes; }
    /// Where the last reading stopped, or nothing.
    QVariant stoppedAt() const;
    /// The records collected so far.
    ModbusBytesArray collected() const { return m_collected; }
    /// The labels of the records collected so far, position by position.
    QList<quint32> collectedLabels() const { return m_collectedLabels; }

    /// The archive index of the collected record at position index; -1 when there is none.
    Q_INVOKABLE int getArchIndexOf(int index) const;
    /// The label of the collected record at position index, as QML sees labels; nothing when there is none.
    Q_INVOKABLE QVariant getLabelOf(int index) const;

public Q_SLOTS:
    /// Starts a reading when none is under way.
    void start();
    /// Stops the reading: no request follows, the records collected go to the record.
    void stop();
    /// Forgets the last reading and prepares the next from the properties.
    void reset();
    /// Starts or stops a reading.
    void setRunning(bool running);
    /// Sets the record item.
    void setRecord(ModbusArchRecord *record);
    /// Sets the first label of the range.
    void setFrom(const QVariant &from);
    /// Sets the last label of the range.
    void setTo(const QVariant &to);
    /// Sets the records per request (at least 1).
    void setRecordsPerRequest(int count);
    /// Lets the records per request follow the record size, or not.
    void setRecordsPerRequestOptimization(bool optimize);
    /// Hands records over after every answer, or only at the end.
    void setLiveResult(bool live);
    /// Sets the record limit (0: none).
    void setMaxRecords(int count);
    /// Sets the labels per label request.
    void setMaxRequestLabels(int count);
    /// Sets the archives to read.
    void setArchIndexes(const QVariantList &indexes);

Q_SIGNALS:
    /// record changed.
    void recordChanged(ModbusArchRecord *record);
    /// from changed.
    void fromChanged(const QVariant &from);
    /// to changed.
    void toChanged(const QVariant &to);
    /// A reading started or ended.
    void runningChanged(bool running);
    /// The expected record count changed.
    void totalChanged(int total);
    /// More records were collected.
    void progressChanged(int progress);
    /// recordsPerRequest changed.
    void recordsPerRequestChanged(int count);
    /// recordsPerRequestOptimization changed.
    void recordsPerRequestOptimizationChanged(bool optimize);
    /// liveResult changed.
    void liveResultChanged(bool live);
    /// maxRecords changed.
    void maxRecordsChanged(int count);
    /// maxRequestLabels changed.
    void maxRequestLabelsChanged(int count);
    /// archIndexes changed.
    void archIndexesChanged(const QVariantList &indexes);
    /// stoppedAt changed.
    void stoppedAtChanged();
    /// A reading started.
    void started();
    /// A reading read its whole range (or maxRecords records).
    void completed();

private Q_SLOTS:
    void onLabelsRead();
    void onRecordRead();
    void onInnerError(const QString &message);
    void onLabelError(const QString &message);
    void onRecordDestroyed();

private:
    class LabelPart;
    class RecordPart;

    void setUpReaders(const ModbusArchRecord &record, quint32 from);
    void resetTotal(const ModbusArchRecord &record, quint32 from);
    bool setNextArchIndex();
    void readLabels(quint32 from);
    void pump();
    qsizetype issued() const;
    qsizetype recordLimit() const;
    int recordsPerAnswer() const;
    int runLength() const;
    void askAgain(const QList<quint32> &missing);
    void finishArchive(bool full);
    void collect(const ModbusBytesArray &records);
    void handOver();
    void stopAt(bool complete);
    void fail(const QString &message);
    void setTotal(int total);
    void setProgress(int progress);
    quint32 fromLabel() const;
    QVariant labelValue(quint32 label) const;
    QString labelText(quint32 label) const;
    QString orderProblem(const QList<quint32> &labels, quint32 requested) const;
    void failLabels(const QString &message);

    QPointer<ModbusArchRecord> m_record;
    std::unique_ptr<RecordPart> m_recordReader;
    std::unique_ptr<LabelPart> m_labelReader;
    QVariant m_from;
    QVariant m_to;
    bool m_running = false;
    quint32 m_endLabel = 0;
    int m_recordsPerRequest = 1;
    ModbusBytesArray m_collected;
    QList<quint32> m_collectedLabels;
    QList<quint32> m_labels;
    QList<QList<quint32>> m_inFlight;  // the labels of each record request under way, oldest first
    bool m_labelsShort = false;
    bool m_readingLabels = false;
    QString m_labelFailure;
    int m_total = -1;
    int m_progress = 0;
    bool m_recordsPerRequestOptimization = false;
    bool m_liveResult = true;
    qsizetype m_handedOver = 0;
    int m_maxRecords = 0;
    int m_maxRequestLabels = 62;
    QVariantList m_archIndexes;
    QVariantList m_pendingArchIndexes;
    int m_archIndex = 0;
    QHash<int, QPair<int, int>> m_ranges;
    quint64 m_run = 0;
    bool m_stopped = false;
    quint32 m_stoppedAt = 0;
};

#endif
