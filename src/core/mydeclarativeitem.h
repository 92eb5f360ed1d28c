#ifndef MYDECLARATIVEITEM_H
#define MYDECLARATIVEITEM_H

#include "tavrexbus1global.h"

#include <QtQuick/QQuickItem>

/// Visual item base with the same initialising flag as
/// MyDeclarativeParserStatus. Overrides of classBegin() and componentComplete()
/// call this class's version.
class TAVREXBUS1_EXPORT MyDeclarativeItem : public QQuickItem
{
    Q_OBJECT

public:
    /// A visual item with the given parent item.
    explicit MyDeclarativeItem(QQuickItem *parent = nullptr);

    /// Marks the item as initializing while QML sets its properties.
    void classBegin() override;
    /// Ends the initializing state once QML has set every property.
    void componentComplete() override;
    /// True between classBegin() and componentComplete().
    bool initializing() const;

private:
    bool m_initializing = false;
};

#endif // MYDECLARATIVEITEM_H
