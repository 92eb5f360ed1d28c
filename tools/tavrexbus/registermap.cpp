#include "registermap.h"

#include <TavrexBus1/tavrexbus1.h>

#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

bool RegisterMap::load(const QString &fileName, QString &error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("%1: %2 at offset %3").arg(fileName, parseError.errorString()).arg(parseError.offset);
        return false;
    }
    const QJsonArray registers = document.object().value(QLatin1String("registers")).toArray();
    for (qsizetype i = 0; i < registers.size(); ++i) {
        const QJsonObject entry = registers.at(i).toObject();
        const QString type = entry.value(QLatin1String("type")).toString(QStringLiteral("uint16"));
        qint64 address = entry.value(QLatin1String("address")).toInteger(-1);
        const int length = entry.value(QLatin1String("length")).toInt(1);
        const int count = qMax(1, entry.value(QLatin1String("count")).toInt(1));
        const bool input = address >= 300001 && address <= 365536;
        if (!input && !(address >= 400001 && address <= 465536)) {
            error = QStringLiteral("%1: register %2 has no register number (300001... or 400001...)")
                        .arg(fileName)
                        .arg(i + 1);
            return false;
        }
        for (int n = 0; n < count; ++n) {
            if (!add(type, quint32(address), length, error)) {
                error = QStringLiteral("%1: register %2: %3").arg(fileName).arg(i + 1).arg(error);
                return false;
            }
            address += m_items.constLast()->requestItemBytesCount() / 2;
        }
    }
    if (m_items.isEmpty()) {
        error = QStringLiteral("%1 lists no registers").arg(fileName);
        return false;
    }
    return true;
}

bool RegisterMap::add(const QString &type, quint32 address, int length, QString &error)
{
    ModbusItemBase *item = nullptr;
    if (type == QLatin1String("int16"))
        item = new ModbusInt16(address, &m_owner);
    else if (type == QLatin1String("uint16"))
        item = new ModbusUInt16(address, &m_owner);
    else if (type == QLatin1String("int32"))
        item = new ModbusInt32(address, &m_owner);
    else if (type == QLatin1String("uint32"))
        item = new ModbusUInt32(address, &m_owner);
    else if (type == QLatin1String("float"))
        item = new ModbusFloat(address, &m_owner);
    else if (type == QLatin1String("double"))
        item = new ModbusDouble(address, &m_owner);
    else if (type == QLatin1String("datetime"))
        item = new ModbusDateTime(address, &m_owner);
    else if (type == QLatin1String("string")) {
        auto *text = new ModbusStringUtf8(address, &m_owner);
        text->setLength(2 * qMax(1, length));
        item = text;
    }
    if (!item) {
        error = QStringLiteral("unknown type \"%1\"").arg(type);
        return false;
    }
    m_items << item;
    m_types.insert(item, type);
    return true;
}

QString RegisterMap::describe(const ModbusItemBase *item) const
{
    const auto *addressed = qobject_cast<const ModbusItemAddressedBase *>(item);
    return QStringLiteral("%1 %2").arg(addressed ? addressed->address() : 0).arg(m_types.value(item));
}
