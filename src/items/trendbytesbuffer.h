#ifndef TRENDBYTESBUFFER_H
#define TRENDBYTESBUFFER_H

#include "trendbytesitem.h"

#include <QtCore/qlist.h>

// Past values of an item, oldest first. The buffer owns its entries.
class TAVREXBUS1_EXPORT TrendBytesBuffer : public QList<TrendBytesItem *>
{
public:
    TrendBytesBuffer() = default;
    ~TrendBytesBuffer();
    Q_DISABLE_COPY_MOVE(TrendBytesBuffer)

    int indexOf(const QDateTime &label) const;
    int indexOf(quint32 label) const;
    quint32 minIndexLabel() const;
    quint32 maxIndexLabel() const;
    QDateTime minTimeLabel() const;
    QDateTime maxTimeLabel() const;
    void clearWithDelete();
};

#endif
