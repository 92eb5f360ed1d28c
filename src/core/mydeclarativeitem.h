#ifndef MYDECLARATIVEITEM_H
#define MYDECLARATIVEITEM_H

#include "tavrexbus1global.h"

#include <QtQuick/QQuickItem>

// Visual item base with the same initialising flag as
// MyDeclarativeParserStatus. Overrides of classBegin() and componentComplete()
// call this class's version.
class TAVREXBUS1_EXPORT MyDeclarativeItem : public QQuickItem
{
    Q_OBJECT

public:
    explicit MyDeclarativeItem(QQuickItem *parent = nullptr);

    void classBegin() override;
    void componentComplete() override;
    bool initializing() const;

private:
    bool m_initializing = false;
};

#endif // MYDECLARATIVEITEM_H
