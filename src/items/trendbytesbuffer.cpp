#include "trendbytesbuffer.h"

#include <algorithm>

TrendBytesBuffer::~TrendBytesBuffer()
{
    clearWithDelete();
}

int TrendBytesBuffer::indexOf(const QDateTime &label) const
{
    const auto it = std::find_if(cbegin(), cend(), [&label](const TrendBytesItem *i) { return i->label == label; });
    return it == cend() ? -1 : int(it - cbegin());
}

int TrendBytesBuffer::indexOf(quint32 label) const
{
    const auto it = std::find_if(cbegin(), cend(),
                                 [label](const TrendBytesItem *i) { return i->labelInSeconds() == label; });
    return it == cend() ? -1 : int(it - cbegin());
}

quint32 TrendBytesBuffer::minIndexLabel() const
{
    return isEmpty() ? 0 : first()->labelInSeconds();
}

quint32 TrendBytesBuffer::maxIndexLabel() const
{
    return isEmpty() ? 0 : last()->labelInSeconds();
}

QDateTime TrendBytesBuffer::minTimeLabel() const
{
    return isEmpty() ? QDateTime() : first()->label;
}

QDateTime TrendBytesBuffer::maxTimeLabel() const
{
    return isEmpty() ? QDateTime() : last()->label;
}

void TrendBytesBuffer::clearWithDelete()
{
    qDeleteAll(*this);
    clear();
}
