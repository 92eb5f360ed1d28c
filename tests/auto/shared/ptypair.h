#ifndef PTYPAIR_H
#define PTYPAIR_H

#include <QtCore/QByteArray>
#include <QtCore/QString>

// A pseudo-terminal standing in for a serial device. The library opens the slave side by
// name (portName()); the test plays the remote device on the master side. The slave stays open
// here too, so a port closed and reopened by a test never leaves the master without a slave
// (which would fail it with EIO).
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }
    QString portName() const { return m_portName; }
    int masterFd() const { return m_master; }

    bool write(const QByteArray &bytes);
    // Whatever arrives within timeoutMs (returns as soon as something is there).
    QByteArray readSome(int timeoutMs);
    // Exactly size bytes, unless timeoutMs passes between two arrivals.
    QByteArray readExactly(int size, int timeoutMs);
    // Makes the device vanish: the slave side sees a hang-up.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_portName;
};

#endif
