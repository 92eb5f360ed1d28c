#ifndef MODBUSARCHRECORD_H
#define MODBUSARCHRECORD_H

#include "modbusarchlabel.h"

/// Reads the archive record stored under label, or count consecutive records, as the item's array: one
/// element per record. An embedded label item (its presence object) tells which labels exist around the
/// requested one; with function 67 it also finds the labels to read.
///
/// Available in QML as `ModbusArchRecord` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusArchRecord : public ModbusItemArchLabeledBase
{
    Q_OBJECT
    /// The current record holds data: its bytes are neither empty nor all zero.
    Q_PROPERTY(bool exists READ exists WRITE setExists NOTIFY existsChanged)
    /// Bytes per record; 0 until the first answer tells.
    Q_PROPERTY(int recordSize READ recordSize WRITE setRecordSize NOTIFY recordSizeChanged)
    /// Refuse answers whose records are not recordSize bytes long.
    Q_PROPERTY(bool checkRecordSize READ checkRecordSize WRITE setCheckRecordSize NOTIFY checkRecordSizeChanged)
    /// Before each read of a time archive, move the label to the current time.
    Q_PROPERTY(bool useCurrentTime READ useCurrentTime WRITE setUseCurrentTime NOTIFY useCurrentTimeChanged)
    /// Read the nearest existing record when the one at label is missing.
    Q_PROPERTY(bool useNearLabel READ useNearLabel WRITE setUseNearLabel NOTIFY useNearLabelChanged)
    /// Align label to the archive interval before a function 65 read.
    Q_PROPERTY(bool normalizeLabel READ normalizeLabel WRITE setNormalizeLabel NOTIFY normalizeLabelChanged)
    /// The label before label, from the presence object.
    Q_PROPERTY(QVariant prevLabel READ prevLabel NOTIFY prevLabelChanged)
    /// The label after the records read, from the presence object.
    Q_PROPERTY(QVariant nextLabel READ nextLabel NOTIFY nextLabelChanged)
    /// The archive's oldest label, from the presence object.
    Q_PROPERTY(QVariant firstLabel READ firstLabel NOTIFY firstLabelChanged)
    /// The archive's newest label, from the presence object.
    Q_PROPERTY(QVariant lastLabel READ lastLabel NOTIFY lastLabelChanged)
    /// Whether a label before exists.
    Q_PROPERTY(bool prevLabelExists READ prevLabelExists NOTIFY prevLabelExistsChanged)
    /// Whether a label after exists.
    Q_PROPERTY(bool nextLabelExists READ nextLabelExists NOTIFY nextLabelExistsChanged)
    /// Ask the presence object for the label before.
    Q_PROPERTY(bool usePrev READ usePrev WRITE setUsePrev NOTIFY usePrevChanged)
    /// Ask the presence object for the label after.
    Q_PROPERTY(bool useNext READ useNext WRITE setUseNext NOTIFY useNextChanged)
    /// Ask the presence object for the oldest label.
    Q_PROPERTY(bool useFirst READ useFirst WRITE setUseFirst NOTIFY useFirstChanged)
    /// Ask the presence object for the newest label.
    Q_PROPERTY(bool useLast READ useLast WRITE setUseLast NOTIFY useLastChanged)

public:
    /// The model role of the exists column.
    static constexpr int ExistsRole = 0x10021;

    /// A record item of unknown size at the current time's label.
    explicit ModbusArchRecord(QObject *parent = nullptr);

    /// Whether the current record holds data.
    bool exists() const { return m_exists; }
    /// Bytes per record.
    int recordSize() const { return m_recordSize; }
    /// Whether answers of another record size are refused.
    bool checkRecordSize() const { return m_checkRecordSize; }
    /// Whether a time archive is read at the current time.
    bool useCurrentTime() const { return m_useCurrentTime; }
    /// Whether the nearest existing record stands in for a missing one.
    bool useNearLabel() const { return m_useNearLabel; }
    /// Whether function 65 labels are aligned to the interval.
    bool normalizeLabel() const { return m_normalizeLabel; }
    /// The presence object.
    ModbusArchLabel &presence() { return m_presence; }
    /// The presence object.
    const ModbusArchLabel &presence() const { return m_presence; }
    /// The label before, as QML sees it.
    QVariant prevLabel() const { return m_presence.prevLabel(); }
    /// The label after, as QML sees it.
    QVariant nextLabel() const { return m_presence.nextLabel(); }
    /// The oldest label, as QML sees it.
    QVariant firstLabel() const { return m_presence.firstLabel(); }
    /// The newest label, as QML sees it.
    QVariant lastLabel() const { return m_presence.lastLabel(); }
    /// Whether a label before exists.
    bool prevLabelExists() const { return m_presence.prevLabelExists(); }
    /// Whether a label after exists.
    bool nextLabelExists() const { return m_presence.nextLabelExists(); }
    /// Whether the label before is asked for.
    bool usePrev() const { return m_presence.usePrev(); }
    /// Whether the label after is asked for.
    bool useNext() const { return m_presence.useNext(); }
    /// Whether the oldest label is asked for.
    bool useFirst() const { return m_presence.useFirst(); }
    /// Whether the newest label is asked for.
    bool useLast() const { return m_presence.useLast(); }
    /// The labels of the records the next (or current) read asks for.
    QList<quint32> labels() const { return m_labels; }

    /// A record's bytes as hexadecimal, in a QByteArray.
    QVariant getTypedValue(const ModbusBytes &bytes) const override;
    /// Answers the exists role, and the item roles.
    QVariant data(const ModbusBytes &bytes, int role) const override;
    /// A read task for the records at labels; no other task.
    ModbusTask *createModbusTask(TavrexBus::ModbusTaskType type, int interval) override;
    /// Adds records at the end of the selected array; views are told of the new rows only.
    void appendRecords(const ModbusBytesArray &records, BytesChangeType type);

public Q_SLOTS:
    /// Marks the current record as holding data or not.
    void setExists(bool exists);
    /// Sets the bytes per record (and the item's element size).
    void setRecordSize(int size);
    /// Refuses or accepts answers of another record size.
    void setCheckRecordSize(bool check);
    /// Reads a time archive at the current time, or at label.
    void setUseCurrentTime(bool use);
    /// Lets the nearest existing record stand in for a missing one, or not.
    void setUseNearLabel(bool use);
    /// Aligns function 65 labels to the interval, or not.
    void setNormalizeLabel(bool normalize);
    /// Asks the presence object for the label before, or not.
    void setUsePrev(bool use) { m_presence.setUsePrev(use); }
    /// Asks the presence object for the label after, or not.
    void setUseNext(bool use) { m_presence.setUseNext(use); }
    /// Asks the presence object for the oldest label, or not.
    void setUseFirst(bool use) { m_presence.setUseFirst(use); }
    /// Asks the presence object for the newest label, or not.
    void setUseLast(bool use) { m_presence.setUseLast(use); }
    /// Moves to the next record and reads it; false when there is none (or a live item reads by itself).
    bool readNext() { return readStep(true, false); }
    /// readNext, waiting for the answer.
    bool readNextSync() { return readStep(true, true); }
    /// Moves to the previous record and reads it; false when there is none (or a live item reads by itself).
    bool readPrev() { return readStep(false, false); }
    /// readPrev, waiting for the answer.
    bool readPrevSync() { return readStep(false, true); }
    /// Moves to the next record without reading; false when there is none.
    bool setNextLabel() { return stepLabel(true); }
    /// Moves to the previous record without reading; false when there is none.
    bool setPrevLabel() { return stepLabel(false); }

Q_SIGNALS:
    /// exists changed.
    void existsChanged();
    /// recordSize changed.
    void recordSizeChanged();
    /// checkRecordSize changed.
    void checkRecordSizeChanged();
    /// useCurrentTime changed.
    void useCurrentTimeChanged();
    /// useNearLabel changed.
    void useNearLabelChanged();
    /// normalizeLabel changed to normalize.
    void normalizeLabelChanged(bool normalize);
    /// prevLabel changed.
    void prevLabelChanged();
    /// nextLabel changed.
    void nextLabelChanged();
    /// firstLabel changed.
    void firstLabelChanged();
    /// lastLabel changed.
    void lastLabelChanged();
    /// prevLabelExists changed.
    void prevLabelExistsChanged();
    /// nextLabelExists changed.
    void nextLabelExistsChanged();
    /// usePrev changed.
    void usePrevChanged();
    /// useNext changed.
    void useNextChanged();
    /// useFirst changed.
    void useFirstChanged();
    /// useLast changed.
    void useLastChanged();

protected:
    bool internalReading(bool sync) override;
    bool checkValidResultTask(ModbusTask *task) override;
    void applyResultTask(const ModbusTask &task) override;
    void bytesWasChanged() override;
    void needValueRead() override;
    /// Gives the presence object this record's archive, client and device.
    void updateArchPresenceObject();

private Q_SLOTS:
    void onPresenceAfterRead();
    void onPresenceError(const QString &message);

private:
    bool readPresence(quint32 label, int count, bool sync);
    void reinitLabels();
    bool internalReadRecords(bool sync);
    bool presenceFound(bool next) const;
    bool stepLabel(bool forward);
    bool readStep(bool forward, bool sync);

    ModbusArchLabel m_presence;
    bool m_exists = false;
    int m_recordSize = 0;
    bool m_checkRecordSize = false;
    bool m_useCurrentTime = false;
    bool m_readingSync = false;
    bool m_presencePending = false;
    QList<quint32> m_labels;
    bool m_useNearLabel = true;
    bool m_normalizeLabel = false;
};

#endif
