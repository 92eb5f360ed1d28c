#ifndef MODBUSTRENDMODEL_H
#define MODBUSTRENDMODEL_H

#include "mydeclarativeparserstatus.h"
#include "trendmodelbase.h"

#include <QtCore/qpointer.h>

/// Trend points for charts from three sources: values pushed from QML (sourceValue), at once or
/// sampled on a timer; the reads of an item; and, once, the trend the item already keeps.
///
/// Available in QML as `ModbusTrendModel` from `import TavrexBus 1.0`.
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
    /// An empty model with no item, not sampling.
    explicit ModbusTrendModel(QObject *parent = nullptr);
    ~ModbusTrendModel() override;

    /// Getter of the item property.
    QObject *item() const { return m_item; }
    /// Setter of the item property.
    void setItem(QObject *item);
    /// Getter of the useItemBuffer property.
    bool useItemBuffer() const { return m_useItemBuffer; }
    /// Setter of the useItemBuffer property.
    void setUseItemBuffer(bool use);
    /// Getter of the enabled property.
    bool enabled() const { return m_enabled; }
    /// Setter of the enabled property.
    void setEnabled(bool enabled);
    /// Getter of the sourceValue property.
    qreal sourceValue() const { return m_sourceValue; }
    /// Getter of the running property.
    bool running() const { return m_running; }
    /// Getter of the interval property.
    int interval() const { return m_interval; }

    /// Called by the QML engine once every property is set; starts sampling when running.
    void componentComplete() override;

public Q_SLOTS:
    /// Setter of the sourceValue property.
    void setSourceValue(qreal value);
    /// Setter of the running property.
    void setRunning(bool running);
    /// Setter of the interval property.
    void setInterval(int interval);

Q_SIGNALS:
    /// item changed.
    void itemChanged();
    /// useItemBuffer changed.
    void useItemBufferChanged();
    /// enabled changed.
    void enabledChanged();
    /// sourceValue changed; the new value is passed.
    void sourceValueChanged(qreal value);
    /// running changed; the new value is passed.
    void runningChanged(bool running);
    /// interval changed; the new value is passed.
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
