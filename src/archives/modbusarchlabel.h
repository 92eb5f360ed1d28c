#ifndef MODBUSARCHLABEL_H
#define MODBUSARCHLABEL_H

#include "modbusitemarchlabeledbase.h"

/// Asks the device which labels of an archive exist from label on (count of them), and optionally the
/// neighbours around them and the archive's first and last label, so that an application can step
/// through the archive. With function 65 the labels are computed from the interval, without bus traffic.
///
/// Available in QML as `ModbusArchLabel` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusArchLabel : public ModbusItemArchLabeledBase
{
    Q_OBJECT
    /// The direction in which labels are searched from label.
    Q_PROPERTY(TavrexBus::ArchDirection direction READ direction WRITE setDirection NOTIFY directionChanged)
    /// Ask for the label before the ones found.
    Q_PROPERTY(bool usePrev READ usePrev WRITE setUsePrev NOTIFY usePrevChanged)
    /// Ask for the label after the ones found.
    Q_PROPERTY(bool useNext READ useNext WRITE setUseNext NOTIFY useNextChanged)
    /// Ask for the archive's oldest label.
    Q_PROPERTY(bool useFirst READ useFirst WRITE setUseFirst NOTIFY useFirstChanged)
    /// Ask for the archive's newest label.
    Q_PROPERTY(bool useLast READ useLast WRITE setUseLast NOTIFY useLastChanged)
    /// The label before label (computed until a read with usePrev tells).
    Q_PROPERTY(QVariant prevLabel READ prevLabel NOTIFY prevLabelChanged)
    /// The label after the ones found (computed until a read with useNext tells).
    Q_PROPERTY(QVariant nextLabel READ nextLabel NOTIFY nextLabelChanged)
    /// The archive's oldest label (0 until a read with useFirst tells).
    Q_PROPERTY(QVariant firstLabel READ firstLabel NOTIFY firstLabelChanged)
    /// The archive's newest label (4294967295 until a read with useLast tells).
    Q_PROPERTY(QVariant lastLabel READ lastLabel NOTIFY lastLabelChanged)
    /// Whether the device has a label before; false with function 67 until a read tells.
    Q_PROPERTY(bool prevLabelExists READ prevLabelExists NOTIFY prevLabelExistsChanged)
    /// Whether the device has a label after; false with function 67 until a read tells.
    Q_PROPERTY(bool nextLabelExists READ nextLabelExists NOTIFY nextLabelExistsChanged)
    /// The first label the device reported, from label on in the search direction.
    Q_PROPERTY(QVariant value READ labelValue NOTIFY valueChanged)
    /// Where the search ends (0: no end).
    Q_PROPERTY(QVariant endLabel READ endLabel WRITE setEndVariantLabel NOTIFY endLabelChanged)
    /// Labels per presence request, 2-62.
    Q_PROPERTY(int maxRequestLabels READ maxRequestLabels WRITE setMaxRequestLabels
               NOTIFY maxRequestLabelsChanged)

public:
    /// A label item at the current time, with neighbours computed from the hourly interval.
    explicit ModbusArchLabel(QObject *parent = nullptr);

    /// The search direction.
    TavrexBus::ArchDirection direction() const { return m_direction; }
    /// Whether the label before is asked for.
    bool usePrev() const { return m_usePrev; }
    /// Whether the label after is asked for.
    bool useNext() const { return m_useNext; }
    /// Whether the oldest label is asked for.
    bool useFirst() const { return m_useFirst; }
    /// Whether the newest label is asked for.
    bool useLast() const { return m_useLast; }
    /// The label before, as QML sees it.
    QVariant prevLabel() const { return getVariantLabel(m_prevLabel, false); }
    /// The label after, as QML sees it.
    QVariant nextLabel() const { return getVariantLabel(m_nextLabel, false); }
    /// The oldest label, as QML sees it.
    QVariant firstLabel() const { return getVariantLabel(m_firstLabel, false); }
    /// The newest label, as QML sees it.
    QVariant lastLabel() const { return getVariantLabel(m_lastLabel, false); }
    /// The label before, as a number.
    quint32 prevLabelInt() const { return m_prevLabel; }
    /// The label after, as a number.
    quint32 nextLabelInt() const { return m_nextLabel; }
    /// The oldest label, as a number.
    quint32 firstLabelInt() const { return m_firstLabel; }
    /// The newest label, as a number.
    quint32 lastLabelInt() const { return m_lastLabel; }
    /// Whether the device has a label before.
    bool prevLabelExists() const { return m_prevLabelExists; }
    /// Whether the device has a label after.
    bool nextLabelExists() const { return m_nextLabelExists; }
    /// The selected label, as QML sees it; valueChanged follows both the label and the device's answers.
    QVariant labelValue() const { return getVariantLabel(label(), false); }
    /// The first label reported, as a number.
    quint32 valueInt() const { return m_value; }
    /// The end of the search, as QML sees it.
    QVariant endLabel() const { return getVariantLabel(m_endLabel, false); }
    /// The end of the search, as a number (0: none).
    quint32 endLabelInt() const { return m_endLabel; }
    /// Labels per presence request.
    int maxRequestLabels() const { return m_maxRequestLabels; }
    /// The labels of the last answer, in archive order.
    QList<quint32> labels() const;

    /// The first label reported, as text in timeFormat (or a number).
    QString formatValue() const override;
    /// Refused: the value is what the device reports.
    void setFormatValue(const QString &text) override;
    /// A label answer's first label, as QML sees it.
    QVariant getTypedValue(const ModbusBytes &bytes) const override;
    /// A read task for the presence of count labels from label; no other task.
    ModbusTask *createModbusTask(TavrexBus::ModbusTaskType type, int interval) override;
    /// Completes the QML creation; with function 67 the neighbours count as absent until a read tells.
    void componentComplete() override;

public Q_SLOTS:
    /// Changes the search direction.
    void setDirection(TavrexBus::ArchDirection direction);
    /// Asks (or stops asking) for the label before; switching it on reads a live item again.
    void setUsePrev(bool use);
    /// Asks (or stops asking) for the label after; switching it on reads a live item again.
    void setUseNext(bool use);
    /// Asks (or stops asking) for the oldest label; switching it on reads a live item again.
    void setUseFirst(bool use);
    /// Asks (or stops asking) for the newest label; switching it on reads a live item again.
    void setUseLast(bool use);
    /// Sets where the search ends, as QML gives a label.
    void setEndVariantLabel(const QVariant &label);
    /// Sets where the search ends, as a number (0: no end).
    void setEndLabel(quint32 label);
    /// Changes the labels per presence request.
    void setMaxRequestLabels(int count);

Q_SIGNALS:
    /// direction changed.
    void directionChanged();
    /// usePrev changed.
    void usePrevChanged();
    /// useNext changed.
    void useNextChanged();
    /// useFirst changed.
    void useFirstChanged();
    /// useLast changed.
    void useLastChanged();
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
    /// endLabel changed.
    void endLabelChanged();
    /// maxRequestLabels changed to count.
    void maxRequestLabelsChanged(int count);

protected:
    /// A result counts only for the label and the request shape it was asked with.
    bool checkValidResultTask(ModbusTask *task) override;
    void applyResultTask(const ModbusTask &task) override;
    void updateValueFromBytes() override;
    void onLabelChanged() override;

private:
    void setPrevLabel(quint32 label);
    void setNextLabel(quint32 label);
    void setFirstLabel(quint32 label);
    void setLastLabel(quint32 label);
    void setPrevLabelExists(bool exists);
    void setNextLabelExists(bool exists);
    void setUse(bool &field, bool use, void (ModbusArchLabel::*changed)());

    TavrexBus::ArchDirection m_direction = TavrexBus::Forward;
    bool m_usePrev = false;
    bool m_useNext = false;
    bool m_useFirst = false;
    bool m_useLast = false;
    quint32 m_prevLabel;
    quint32 m_nextLabel;
    quint32 m_firstLabel = 0;
    quint32 m_lastLabel = 4294967295u;
    bool m_prevLabelExists = true;
    bool m_nextLabelExists = true;
    quint32 m_value;
    quint32 m_endLabel = 0;
    int m_maxRequestLabels = 62;
};

#endif
