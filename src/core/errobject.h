#ifndef ERROBJECT_H
#define ERROBJECT_H

#include "tavrexbus1global.h"

#include <QtCore/QObject>
#include <QtCore/QString>

// Base of the library's objects that report failures: the last message, a
// running count of reports and the error() signal. Reports may come from any
// thread; the state changes and signals always happen on the object's thread.
class TAVREXBUS1_EXPORT ErrObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString errorString READ errorString NOTIFY error)
    Q_PROPERTY(quint64 errorCount READ errorCount NOTIFY errorCountChanged)

public:
    explicit ErrObject(QObject *parent = nullptr);

    Q_INVOKABLE QString errorString() const;
    quint64 errorCount() const;
    void incrementErrorCount();

public Q_SLOTS:
    // Counts and signals like any report, with an empty message.
    void clearError();

Q_SIGNALS:
    void error(const QString &message);
    void errorCountChanged();

protected Q_SLOTS:
    virtual void setErrorString(const QString &value);

private:
    QString m_errorString;
    quint64 m_errorCount = 0;
};

#endif // ERROBJECT_H
