#ifndef TRENDMODELBASE_H
#define TRENDMODELBASE_H

#include "tavrexbus1global.h"

#include <QtCore/qabstractitemmodel.h>
#include <QtCore/qdatetime.h>
#include <QtCore/qlist.h>

/// A table of (time, value) points ordered by time, oldest first, for charts.
/// Roles: "value" (0, the value times ratio) and "time" (33).
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
    enum Roles { ValueRole = 0, TimeRole = 33 };

    explicit TrendModelBase(QObject *parent = nullptr);
    ~TrendModelBase() override;

    int count() const { return int(m_points.size()); }
    int maxCount() const { return m_maxCount; }
    void setMaxCount(int maxCount);
    QDateTime currentTime() const { return m_currentTime; }
    qreal ratio() const { return m_ratio; }

    /// The point of a row; false beyond the end.
    bool getRow(int row, QDateTime &time, double &value) const;
    /// The raw value of a row, 0 beyond the end.
    double getValue(int row) const;
    double getMaxYValue() const;
    double getMinYValue() const;
    /// Time of the newest point, the epoch when empty.
    QDateTime getMaxXValue() const;
    /// Time of the oldest point, the epoch when empty.
    QDateTime getMinXValue() const;
    /// Removes every point.
    void clear();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

public Q_SLOTS:
    /// Adds a value at currentTime once set, else at the current time.
    void addValue(qreal value);
    /// Adds a value at a label that is a date-time or converts to one; anything else is refused.
    void addValue(const QVariant &label, qreal value);
    void addValue(const QDateTime &label, qreal value);
    void setCurrentTime(const QDateTime &time);
    void setRatio(qreal ratio);

Q_SIGNALS:
    void countChanged();
    void maxCountChanged();
    void currentTimeChanged(const QDateTime &time);
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
