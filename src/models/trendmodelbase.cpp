#include "trendmodelbase.h"

#include "tavrexbuslogging_p.h"

#include <algorithm>

TrendModelBase::TrendModelBase(QObject *parent)
    : QAbstractTableModel(parent)
{
}

TrendModelBase::~TrendModelBase() = default;

int TrendModelBase::shrinkTo(int keep)
{
    const int excess = count() - std::max(keep, 0);
    if (excess <= 0)
        return 0;
    beginRemoveRows(QModelIndex(), 0, excess - 1);
    m_points.remove(0, excess);
    endRemoveRows();
    return excess;
}

void TrendModelBase::setMaxCount(int maxCount)
{
    if (m_maxCount == maxCount)
        return;
    m_maxCount = maxCount;
    const int before = count();
    if (maxCount >= 0)
        shrinkTo(maxCount);
    emit maxCountChanged();
    if (count() != before)
        emit countChanged();
}

void TrendModelBase::addValue(qreal value)
{
    addValue(m_currentTimeSet ? m_currentTime : QDateTime::currentDateTime(), value);
}

void TrendModelBase::addValue(const QVariant &label, qreal value)
{
    const QDateTime time = label.toDateTime();
    if (!time.isValid()) {
        qCWarning(lcModels).noquote() << QStringLiteral("can't convert label '%1' to datetime").arg(label.toString());
        return;
    }
    addValue(time, value);
}

void TrendModelBase::addValue(const QDateTime &label, qreal value)
{
    // Points usually arrive in time order, so the search starts at the newest.
    int position = count();
    while (position > 0 && m_points.at(position - 1).time > label)
        --position;
    if (m_maxCount >= 1)
        position = std::max(position - shrinkTo(m_maxCount - 1), 0);
    beginInsertRows(QModelIndex(), position, position);
    m_points.insert(position, { label, value });
    endInsertRows();
    emit countChanged();
}

bool TrendModelBase::getRow(int row, QDateTime &time, double &value) const
{
    if (row < 0 || row >= count())
        return false;
    time = m_points.at(row).time;
    value = m_points.at(row).value;
    return true;
}

double TrendModelBase::getValue(int row) const
{
    return row >= 0 && row < count() ? m_points.at(row).value : 0.0;
}

double TrendModelBase::getMaxYValue() const
{
    if (m_points.isEmpty())
        return 0.0;
    return std::max_element(m_points.cbegin(), m_points.cend(),
                            [](const Point &a, const Point &b) { return a.value < b.value; })->value;
}

double TrendModelBase::getMinYValue() const
{
    if (m_points.isEmpty())
        return 0.0;
    return std::min_element(m_points.cbegin(), m_points.cend(),
                            [](const Point &a, const Point &b) { return a.value < b.value; })->value;
}

QDateTime TrendModelBase::getMaxXValue() const
{
    return m_points.isEmpty() ? QDateTime::fromMSecsSinceEpoch(0) : m_points.constLast().time;
}

QDateTime TrendModelBase::getMinXValue() const
{
    return m_points.isEmpty() ? QDateTime::fromMSecsSinceEpoch(0) : m_points.constFirst().time;
}

void TrendModelBase::clear()
{
    beginResetModel();
    m_points.clear();
    endResetModel();
    emit countChanged();
}

void TrendModelBase::setCurrentTime(const QDateTime &time)
{
    m_currentTimeSet = true;
    if (m_currentTime == time)
        return;
    m_currentTime = time;
    emit currentTimeChanged(time);
}

void TrendModelBase::setRatio(qreal ratio)
{
    if (m_ratio == ratio)
        return;
    beginResetModel();
    m_ratio = ratio;
    endResetModel();
    emit ratioChanged(ratio);
}

int TrendModelBase::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int TrendModelBase::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant TrendModelBase::data(const QModelIndex &index, int role) const
{
    const int row = index.row();
    if (!index.isValid() || row < 0 || row >= count())
        return QVariant();
    if (role == ValueRole)
        return m_points.at(row).value * m_ratio;
    if (role == TimeRole)
        return m_points.at(row).time;
    return QVariant();
}

QHash<int, QByteArray> TrendModelBase::roleNames() const
{
    return { { TimeRole, "time" }, { ValueRole, "value" } };
}

bool TrendModelBase::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || row >= this->count() || count <= 0)
        return false;
    const int last = std::min(row + count, this->count()) - 1;
    beginRemoveRows(QModelIndex(), row, last);
    m_points.remove(row, last - row + 1);
    endRemoveRows();
    emit countChanged();
    return true;
}
