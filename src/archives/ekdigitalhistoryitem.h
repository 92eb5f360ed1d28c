#ifndef EKDIGITALHISTORYITEM_H
#define EKDIGITALHISTORYITEM_H

#include "modbuscustombytes.h"

/// The base of the meter family's history items: each reads a 244-byte history block of recent samples
/// at a fixed register address and keeps the samples as its array, newest last, each stamped with a time
/// one second before the next, so that list views and trends can show them.
///
/// Registered in QML as the uncreatable type `EkDigitalHistoryItem` (`import TavrexBus 1.0`), so that QML sees
/// its
/// properties and enumerations.
class TAVREXBUS1_EXPORT EkDigitalHistoryItem : public ModbusCustomBytes
{
    Q_OBJECT
    /// Samples kept; older ones drop off the front.
    Q_PROPERTY(int maxHistorySize READ maxHistorySize WRITE setMaxHistorySize NOTIFY maxHistorySizeChanged)
    /// The time given to the newest sample (the current time while unset).
    Q_PROPERTY(QDateTime currentTime READ currentTime WRITE setCurrentTime NOTIFY currentTimeChanged)

public:
    /// Samples kept.
    int maxHistorySize() const { return m_maxHistorySize; }
    /// The time of the newest sample.
    QDateTime currentTime() const { return m_currentTime; }
    /// A field of a kept sample by its role, or the item roles.
    QVariant data(const ModbusBytes &bytes, int role) const override;
    /// Refused: the block size is the device's.
    void setItemSize(int size) override;

public Q_SLOTS:
    /// Changes the samples kept.
    void setMaxHistorySize(int size);
    /// Changes the time of the newest sample.
    void setCurrentTime(const QDateTime &time);

Q_SIGNALS:
    /// maxHistorySize changed.
    void maxHistorySizeChanged(int size);
    /// currentTime changed.
    void currentTimeChanged(const QDateTime &time);

protected:
    /// kind: one of the layouts of EkDigitalLayout::HistoryKind.
    EkDigitalHistoryItem(int kind, quint32 address, QObject *parent);
    /// Adds the samples of a block to those kept and reads again while the device has more.
    void applyResultTask(const ModbusTask &task) override;

private:
    int m_kind;
    int m_maxHistorySize = 300;
    QDateTime m_currentTime;
};

#endif
