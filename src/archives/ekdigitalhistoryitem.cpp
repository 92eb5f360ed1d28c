#include "ekdigitalhistoryitem.h"

#include "tavrexbuslogging_p.h"
#include "ekdigitallayout_p.h"
#include "modbustask.h"

namespace {

const EkDigitalLayout::History &layoutOf(int kind)
{
    return EkDigitalLayout::history(EkDigitalLayout::HistoryKind(kind));
}

} // namespace

EkDigitalHistoryItem::EkDigitalHistoryItem(int kind, quint32 address, QObject *parent)
    : ModbusCustomBytes(address, parent),
      m_kind(kind)
{
    ModbusCustomBytes::setItemSize(EkDigitalLayout::HistoryBlockSize);
    // Until the first read the image is one block of the item's size, which the first samples replace.
    setTopBytesArray({ModbusBytes::fromSize(EkDigitalLayout::HistoryBlockSize)}, InternalChange);
}

QVariant EkDigitalHistoryItem::data(const ModbusBytes &bytes, int role) const
{
    const EkDigitalLayout::History &layout = layoutOf(m_kind);
    if (role == EkDigitalLayout::TimeRole)
        return bytes.toDateTime(layout.timeOffset);
    for (const EkDigitalLayout::Field &field : layout.sampleFields) {
        if (field.role == role)
            return EkDigitalLayout::decode(bytes, field.offset, field.codec);
    }
    return ModbusCustomBytes::data(bytes, role);
}

void EkDigitalHistoryItem::setItemSize(int size)
{
    Q_UNUSED(size);
    qCWarning(lcArchives) << "cannot change itemSize of this item";
}

void EkDigitalHistoryItem::applyResultTask(const ModbusTask &task)
{
    const EkDigitalLayout::History &layout = layoutOf(m_kind);
    bool pending = false;
    bool cut = false;
    const ModbusBytes block = task.firstBytes().value(0);
    const ModbusBytesArray samples = EkDigitalLayout::historySamples(EkDigitalLayout::HistoryKind(m_kind), block,
                                                                     &pending, &cut);
    if (cut)
        qCWarning(lcArchives) << "history block at" << address() << "states" << block.toUInt16(2)
                              << "samples, holds" << samples.size();
    ModbusBytesArray kept = topBytesArray();
    // The image of an item never read is one zero block of the item's size, not a sample.
    if (!kept.isEmpty() && kept.constFirst().size() == requestItemBytesCount())
        kept.removeFirst();
    kept.append(samples);
    while (kept.size() > qMax(0, m_maxHistorySize))
        kept.removeFirst();
    QDateTime time = m_currentTime.isValid() ? m_currentTime : QDateTime::currentDateTime();
    for (qsizetype i = kept.size() - 1; i >= 0; --i) {
        kept[i].setBytes(ModbusBytes::fromDateTime(time), layout.timeOffset, 4);
        time = time.addSecs(-1);
    }
    setTopBytesArray(kept, ReadChange);
    emit bytesWasRead(QDateTime::currentDateTime());
    if (pending)
        read();
}

void EkDigitalHistoryItem::setMaxHistorySize(int size)
{
    if (size == m_maxHistorySize && m_maxHistorySize >= 1)
        return;
    m_maxHistorySize = size;
    emit maxHistorySizeChanged(size);
}

void EkDigitalHistoryItem::setCurrentTime(const QDateTime &time)
{
    if (time == m_currentTime)
        return;
    m_currentTime = time;
    emit currentTimeChanged(time);
}
