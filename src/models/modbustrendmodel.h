#ifndef MODBUSTRENDMODEL_H
#define MODBUSTRENDMODEL_H

#include "mydeclarativeparserstatus.h"
#include "trendmodelbase.h"

#include <QtCore/qpointer.h>

/// Trend points for charts from three sources: values pushed from QML (sourceValue), at once or
/// sampled on a timer; the reads of an item; and, once, the trend the item already keeps.
class TAVREXBUS1_EXPORT ModbusTrendModel : public TrendModelBase, public MyDeclarativeParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    /// The item whose reads are charted; not owned.
    Q_PROPERTY(QObject *item READ item WRITE setItem NOTIFY itemChanged)
    /// Take over the item's stored trend when the item is set (default true).
    Q_PROPERTY(bool useItemBuffer READ useItemBuffer WRITE setUseItemBuffer NOTIFY useItemBufferChanged)
    /// Accept points from the item and from sourceValue (default true).
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    /// The value pushed from QML; added at once unless running.
    Q_PROPERTY(qreal sourceValue READ sourceValue WRITE setSourceValue NOTIFY sourceValueChanged)
    /// Sample sourceValue every interval milliseconds.
    Q_PROPERTY(bool running READ running WRITE setRunning NOTIFY runningChanged)
    /// The sampling period in milliseconds (default 1000).
    Q_PROPERTY(int interval READ interval WRITE setInterval NOTIFY intervalChanged)

public:
    explicit ModbusTrendModel(QObject *parent = nullptr);
    ~ModbusTrendModel() override;

    QObject *item() const { return m_item; }
    void setItem(QObject *item);
    bool useItemBuffer() const { return m_useItemBuffer; }
    void setUseItemBuffer(bool use);
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    qreal sourceValue() const { return m_sourceValue; }
    bool running() const { return m_running; }
    int interval() const { return m_interval; }

    void componentComplete() override;

public Q_SLOTS:
    void setSourceValue(qreal value);
    void setRunning(bool running);
    void setInterval(int interval);

Q_SIGNALS:
    void itemChanged();
    void useItemBufferChanged();
    void enabledChanged();
    void sourceValueChanged(qreal value);
    void runningChanged(bool running);
    void intervalChanged(int interval);
    /// Names the item property a chart should follow.
    void sourceProperty(const QString &name);

protected:
    void timerEvent(QTimerEvent *event) override;

private Q_SLOTS:
    void onItemDestroyed();
    void onItemBytesWasRead(const QDateTime &label);

private:
    void updateTimer();

    QPointer<QObject> m_item;
    bool m_useItemBuffer = true;
    bool m_enabled = true;
    qreal m_sourceValue = 0;
    bool m_running = false;
    int m_interval = 1000;
    int m_timerId = 0;
};

#endif
