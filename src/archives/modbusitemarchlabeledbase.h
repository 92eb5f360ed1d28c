#ifndef MODBUSITEMARCHLABELEDBASE_H
#define MODBUSITEMARCHLABELEDBASE_H

#include "modbusitemarchbase.h"

/// An archive item at one position of its archive: a label, which is a record number in an index archive
/// and a wall-clock time (seconds from 1970-01-01 00:00:00, no time zone) in a time archive.
///
/// Registered in QML as the uncreatable type `ModbusItemArchLabeledBase` (`import TavrexBus 1.0`), so that QML
/// sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT ModbusItemArchLabeledBase : public ModbusItemArchBase
{
    Q_OBJECT
    /// The selected position: a number for an index archive, a date-time for a time archive. Also takes
    /// a text in timeFormat or a label number.
    Q_PROPERTY(QVariant label READ variantLabel WRITE setVariantLabel NOTIFY labelChanged)
    /// How time labels read and write as text.
    Q_PROPERTY(QString timeFormat READ timeFormat WRITE setTimeFormat NOTIFY timeFormatChanged)
    /// The archive's interval, from Second to Year.
    Q_PROPERTY(TavrexBus::ArchInterval archInterval READ archInterval WRITE setArchInterval
               NOTIFY archIntervalChanged)

public:
    /// An item at the current time's label.
    explicit ModbusItemArchLabeledBase(int requestItemBytesCount, QObject *parent = nullptr);

    /// The label as a number.
    virtual quint32 label() const { return m_label; }
    /// Selects a label given as a number.
    virtual void setLabel(quint32 label);
    /// Selects the time label of a date-time's wall-clock fields.
    void setLabel(const QDateTime &time) { setTimeLabel(time); }
    /// The label as a date-time (meaningful for a time archive).
    QDateTime timeLabel() const;
    /// Selects the time label of a date-time's wall-clock fields.
    void setTimeLabel(const QDateTime &time);
    /// The label as QML sees it.
    QVariant variantLabel() const { return getVariantLabel(m_label, false); }
    /// A label of this archive as QML sees it (forDisplay: as text in timeFormat).
    QVariant getVariantLabel(quint32 label, bool forDisplay) const;
    /// The number of a label given as QML gives it.
    quint32 getIntLabel(const QVariant &label) const;
    /// The text form of time labels.
    QString timeFormat() const { return m_timeFormat; }
    /// The archive's interval.
    TavrexBus::ArchInterval archInterval() const { return m_archInterval; }

public Q_SLOTS:
    /// Selects a label given as QML gives it.
    void setVariantLabel(const QVariant &label);
    /// Changes the text form of time labels.
    void setTimeFormat(const QString &format);
    /// Changes the archive's interval.
    void setArchInterval(TavrexBus::ArchInterval interval);

Q_SIGNALS:
    /// label changed.
    void labelChanged();
    /// label changed: its date-time changed too.
    void timeLabelChanged();
    /// timeFormat changed.
    void timeFormatChanged();
    /// archInterval changed.
    void archIntervalChanged();

protected:
    /// Runs when the label moves: the periodic request and a live value follow it.
    virtual void onLabelChanged();

private:
    QString m_timeFormat = QStringLiteral("dd.MM.yyyy hh:mm:ss");
    quint32 m_label;
    TavrexBus::ArchInterval m_archInterval = TavrexBus::Hour;
};

#endif
