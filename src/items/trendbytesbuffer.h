#ifndef TRENDBYTESBUFFER_H
#define TRENDBYTESBUFFER_H

#include "trendbytesitem.h"

#include <QtCore/qlist.h>

/// Past values of an item, oldest first. The buffer owns its entries.
class TAVREXBUS1_EXPORT TrendBytesBuffer : public QList<TrendBytesItem *>
{
public:
    TrendBytesBuffer() = default;
    ~TrendBytesBuffer();
    Q_DISABLE_COPY_MOVE(TrendBytesBuffer)

    /// Index of the entry at label; -1 when none.
    int indexOf(const QDateTime &label) const;
    /// Index of the entry at label (in seconds); -1 when none.
    int indexOf(quint32 label) const;
    /// The smallest label held, as a number.
    quint32 minIndexLabel() const;
    /// The largest label held, as a number.
    quint32 maxIndexLabel() const;
    /// The earliest label held.
    QDateTime minTimeLabel() const;
    /// The latest label held.
    QDateTime maxTimeLabel() const;
    /// Deletes every entry and empties the buffer.
    void clearWithDelete();
};

#endif
