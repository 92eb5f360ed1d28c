#ifndef TRENDMODELBASE_H
#define TRENDMODELBASE_H

#include "tavrexbus1global.h"

#include <QtCore/qabstractitemmodel.h>
#include <QtCore/qdatetime.h>
#include <QtCore/qlist.h>

/// A table of (time, value) points ordered by time, oldest first, for charts.
/// Roles: "value" (0, the value times ratio) and "time" (33).
///
/// Registered in QML as the uncreatable type `TrendModelBase` (`import TavrexBus 1.0`), so that QML sees its
/// properties.
class TAVREXBUS1_EXPORT TrendModelBase : public QAbstractTableModel
{
    Q_OBJECT
    /// Number of points.
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    /// Most points kept; the oldest go first. Below 1 there is no limit.
    Q_PROPERTY(int maxCount READ maxCount WRITE setMaxCount NOTIFY maxCountChanged)
    /// The time given to values added without one, once set.
    Q_PROPERTY(QDateTime currentTime READ currentTime WRITE setCurrentTime NOTIFY currentTimeChanged)
    /// Factor applied to the values shown (not to getMaxYValue() and the like).
    Q_PROPERTY(qreal ratio READ ratio WRITE setRatio NOTIFY ratioChanged)

public:
    /// The model roles: the value times ratio, and the point's time.
    enum Roles { ValueRole = 0, TimeRole = 33 };

    /// An empty model with no limit on points and ratio 1.
    explicit TrendModelBase(QObject *parent = nullptr);
    ~TrendModelBase() override;

    /// Getter of the count property.
    int count() const { return int(m_points.size()); }
    /// Getter of the maxCount property.
    int maxCount() const { return m_maxCount; }
    /// Setter of the maxCount property; drops the oldest points beyond the new limit.
    void setMaxCount(int maxCount);
    /// Getter of the currentTime property.
    QDateTime currentTime() const { return m_currentTime; }
    /// Getter of the ratio property.
    qreal ratio() const { return m_ratio; }

    /// The point of a row; false beyond the end.
    bool getRow(int row, QDateTime &time, double &value) const;
    /// The raw value of a row, 0 beyond the end.
    double getValue(int row) const;
    /// The largest raw value, 0 when empty.
    double getMaxYValue() const;
    /// The smallest raw value, 0 when empty.
    double getMinYValue() const;
    /// Time of the newest point, the epoch when empty.
    QDateTime getMaxXValue() const;
    /// Time of the oldest point, the epoch when empty.
    QDateTime getMinXValue() const;
    /// Removes every point.
    void clear();

    /// One row per point.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    /// Two columns: value and time.
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    /// The value (times ratio) or the time of the point in the row of index, as role says.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    /// The QML names of the roles.
    QHash<int, QByteArray> roleNames() const override;
    /// Removes count points from row on; false when row is out of range.
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

public Q_SLOTS:
    /// Adds a value at currentTime once set, else at the current time.
    void addValue(qreal value);
    /// Adds a value at a label that is a date-time or converts to one; anything else is refused.
    void addValue(const QVariant &label, qreal value);
    /// Adds a value at label, in time order; with maxCount reached the oldest point goes.
    void addValue(const QDateTime &label, qreal value);
    /// Setter of the currentTime property.
    void setCurrentTime(const QDateTime &time);
    /// Setter of the ratio property; the model is reset.
    void setRatio(qreal ratio);

Q_SIGNALS:
    /// count changed.
    void countChanged();
    /// maxCount changed.
    void maxCountChanged();
    /// currentTime changed; the new value is passed.
    void currentTimeChanged(const QDateTime &time);
    /// ratio changed; the new value is passed.
    void ratioChanged(qreal ratio);
    /// The kind of data charted changed.
    void typeChanged();

private:
    struct Point
    {
        QDateTime time;
        double value;
    };
    // Removes the oldest points until at most keep remain; the number removed.
    int shrinkTo(int keep);

    QList<Point> m_points;
    int m_maxCount = -1;
    QDateTime m_currentTime = QDateTime::currentDateTime();
    bool m_currentTimeSet = false;
    qreal m_ratio = 1.0;
};

#endif
