#ifndef METERSIMULATOR_H
#define METERSIMULATOR_H

#include "simarchive.h"

#include <QtCore/QDateTime>
#include <QtCore/QElapsedTimer>
#include <QtCore/QHash>
#include <QtCore/QMap>
#include <QtCore/QObject>

class Modbuser;
class ModbusPacket;
class ModbusTarget;
class ModbusTranslateOptions;

// A flow and heat meter in the server role: a register map (some values moving with time),
// file registers and generated archives, answering the handler signals of a Modbuser.
class MeterSimulator : public QObject
{
    Q_OBJECT

public:
    explicit MeterSimulator(QObject *parent = nullptr);

    // Replaces the whole device with the one described by a register map document.
    bool load(const QByteArray &json, QString *error);
    void serve(Modbuser &modbuser);

    QString deviceName() const;
    // The register bytes as a client would read them now; false when one is not mapped.
    bool readRegisters(quint32 address, quint16 count, ModbusBytes &out);
    // The archive of that index, or null.
    const SimArchive *archive(quint16 archIndex) const;

Q_SIGNALS:
    // One line per served request, for --verbose.
    void served(const QString &line);

private:
    struct Live
    {
        quint32 address = 0;
        QString type;
        double value = 0;
        double rate = 0;
        double swing = 0;
        bool clock = false;
    };
    // index: the entry's place in its list; owners: the entry that took each register, file or archive.
    bool loadRegister(const QJsonObject &entry, int index, QHash<quint32, QString> &owners, QString *error);
    bool loadFile(const QJsonObject &entry, int index, QHash<int, int> &owners, QString *error);
    bool loadArchive(const QJsonObject &entry, int index, QHash<int, int> &owners, QString *error);
    void store(quint32 address, const ModbusBytes &bytes);
    void refresh(const Live &live);
    const SimArchive *findArchive(quint16 archIndex, TavrexBus::ArchType type, ModbusTranslateOptions &options);
    void onPacketReceived(const ModbusPacket &packet, const ModbusTarget *target);

    void onReadRegisters(quint32 address, quint16 count, ModbusBytes &out, ModbusTranslateOptions &options,
                         bool &handled);
    void onWriteRegisters(quint32 address, ModbusBytes values, ModbusTranslateOptions &options, bool &handled);
    void onGetDevName(QString &name, ModbusTranslateOptions &options, bool &handled);
    void onReadFile(quint8 file, quint16 start, quint8 count, ModbusBytes &out, ModbusTranslateOptions &options,
                    bool &handled);
    void onWriteFile(quint8 file, quint16 start, ModbusBytes values, ModbusTranslateOptions &options,
                     bool &handled);
    void onReadArchRecords(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction, quint16 count,
                           QList<ModbusBytes> &out, ModbusTranslateOptions &options, TavrexBus::ArchType type,
                           bool &handled);
    void onReadArchPresence(quint16 archIndex, quint32 label, TavrexBus::ArchDirection direction, quint16 count,
                            QList<quint32> &out, ModbusTranslateOptions &options, TavrexBus::ArchType type,
                            bool &handled);

    QString m_name;
    QString m_version;
    QMap<quint32, quint16> m_registers;
    QList<Live> m_live;
    QHash<quint8, ModbusBytes> m_files;
    QHash<quint16, SimArchive> m_archives;
    // Function 65 and 67 requests reach the same handler; the function of the request under way tells them apart.
    int m_requestFunction = 0;
    QElapsedTimer m_uptime;
};

#endif
