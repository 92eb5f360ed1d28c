#ifndef ERROBJECT_H
#define ERROBJECT_H

#include "tavrexbus1global.h"

#include <QtCore/QObject>
#include <QtCore/QString>

/// Base of the library's objects that report failures: the last message, a
/// running count of reports and the error() signal. Reports may come from any
/// thread; the state changes and signals always happen on the object's thread.
class TAVREXBUS1_EXPORT ErrObject : public QObject
{
    Q_OBJECT
    /// The last failure reported, in the system's own words; empty after clearError(). Changes are signalled by
    /// error().
    Q_PROPERTY(QString errorString READ errorString NOTIFY error)
    /// How many failures were reported since the object was made; clearError() counts too.
    Q_PROPERTY(quint64 errorCount READ errorCount NOTIFY errorCountChanged)

public:
    /// An object with no error reported yet.
    explicit ErrObject(QObject *parent = nullptr);

    /// Getter of the errorString property.
    Q_INVOKABLE QString errorString() const;
    /// Getter of the errorCount property.
    quint64 errorCount() const;
    /// Counts a failure without changing the message or emitting error().
    void incrementErrorCount();

public Q_SLOTS:
    /// Counts and signals like any report, with an empty message.
    void clearError();

Q_SIGNALS:
    /// Emitted on the object's thread for every report, with its message.
    void error(const QString &message);
    /// errorCount changed.
    void errorCountChanged();

protected Q_SLOTS:
    /// Reports a failure: stores value, counts it and emits error(); safe from any thread.
    virtual void setErrorString(const QString &value);

protected:
    /// Stores a valid Modbus device address in stored and reports an invalid one; true when
    /// stored changed.
    bool acceptDeviceAddress(int address, quint8 &stored);

private:
    QString m_errorString;
    quint64 m_errorCount = 0;
};

#endif // ERROBJECT_H
