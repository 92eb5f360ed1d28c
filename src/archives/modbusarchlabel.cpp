#include "modbusarchlabel.h"

#include "tavrexbuslogging_p.h"
#include "modbustaskarchpresence65.h"

ModbusArchLabel::ModbusArchLabel(QObject *parent)
    : ModbusItemArchLabeledBase(4, parent),
      m_prevLabel(TavrexBus::getPrevLabel(label(), archType(), archInterval(), nullptr, 1)),
      m_nextLabel(TavrexBus::getNextLabel(label(), archType(), archInterval(), nullptr, 1, TavrexBus::Forward)),
      m_value(label())
{
    m_roles = RoleItems{RoleItem(0, "value", tr("Value"))};
    setRoles(m_roles);
    // An answer ends where the archive ends: fewer labels than asked for are still the answer.
    setCheckReadTaskCount(false);
    // Every label reads as a number or a date-time after the archive's kind.
    for (auto changed : {&ModbusArchLabel::prevLabelChanged, &ModbusArchLabel::nextLabelChanged,
                         &ModbusArchLabel::firstLabelChanged, &ModbusArchLabel::lastLabelChanged,
                         &ModbusArchLabel::endLabelChanged})
        connect(this, &ModbusItemArchBase::archTypeChanged, this, changed);
    connect(this, &ModbusItemArchBase::archTypeChanged, this, &ModbusItemArchBase::valueChanged);
}

QList<quint32> ModbusArchLabel::labels() const
{
    return bytesArray().toModbusBytes().toArchLabels(0, -1);
}

QString ModbusArchLabel::formatValue() const
{
    return getVariantLabel(m_value, true).toString();
}

void ModbusArchLabel::setFormatValue(const QString &text)
{
    Q_UNUSED(text);
    qCWarning(lcArchives) << "'setFormatValue': can't change readonly property";
}

QVariant ModbusArchLabel::getTypedValue(const ModbusBytes &bytes) const
{
    return getVariantLabel(bytes.toUInt32(0), false);
}

ModbusTask *ModbusArchLabel::createModbusTask(TavrexBus::ModbusTaskType type, int interval)
{
    if (type != TavrexBus::ReadTask)
        return nullptr;
    ModbusTaskArchPresence *task = func() == TavrexBus::Func65
        ? new ModbusTaskArchPresence65(*this, m_direction, interval, archInterval())
        : new ModbusTaskArchPresence(*this, m_direction, interval);
    initArchTask(*task);
    task->setLabel(label());
    task->setFirstLabel(m_firstLabel);
    task->setLastLabel(m_lastLabel);
    task->setEndLabel(m_endLabel);
    task->setMaxRequestLabels(m_maxRequestLabels);
    task->setReadNeighbours(m_usePrev, m_useNext, m_useFirst, m_useLast);
    return task;
}

bool ModbusArchLabel::checkValidResultTask(ModbusTask *task)
{
    if (!ModbusItemArchLabeledBase::checkValidResultTask(task))
        return false;
    const auto *presence = dynamic_cast<const ModbusTaskArchPresence *>(task);
    return presence && presence->label() == label() && presence->maxRequestLabels() == m_maxRequestLabels
        && presence->count() == count();
}

void ModbusArchLabel::applyResultTask(const ModbusTask &task)
{
    ModbusItemArchLabeledBase::applyResultTask(task);
    const auto &presence = static_cast<const ModbusTaskArchPresence &>(task);
    if (presence.readPrev()) {
        setPrevLabelExists(presence.hasPrev());
        if (presence.hasPrev())
            setPrevLabel(presence.prevLabel());
    }
    if (presence.readNext()) {
        setNextLabelExists(presence.hasNext());
        if (presence.hasNext())
            setNextLabel(presence.nextLabel());
    }
    if (presence.readFirst())
        setFirstLabel(presence.firstLabel());
    if (presence.readLast())
        setLastLabel(presence.lastLabel());
}

void ModbusArchLabel::onLabelChanged()
{
    ModbusItemArchLabeledBase::onLabelChanged();
    emit valueChanged();
}

void ModbusArchLabel::updateValueFromBytes()
{
    const quint32 value = bytes().toUInt32(0);
    if (value == m_value)
        return;
    m_value = value;
    emit valueChanged();
    emit formatValueChanged();
}

void ModbusArchLabel::componentComplete()
{
    ModbusItemArchLabeledBase::componentComplete();
    // Nothing is offered until the device confirms it.
    if (func() == TavrexBus::Func67) {
        setPrevLabelExists(false);
        setNextLabelExists(false);
    }
}

void ModbusArchLabel::setDirection(TavrexBus::ArchDirection direction)
{
    if (direction == m_direction)
        return;
    m_direction = direction;
    emit directionChanged();
}

void ModbusArchLabel::setUse(bool &field, bool use, void (ModbusArchLabel::*changed)())
{
    if (use == field)
        return;
    field = use;
    emit (this->*changed)();
    if (use)
        needValueRead();
}

void ModbusArchLabel::setUsePrev(bool use)
{
    setUse(m_usePrev, use, &ModbusArchLabel::usePrevChanged);
}

void ModbusArchLabel::setUseNext(bool use)
{
    setUse(m_useNext, use, &ModbusArchLabel::useNextChanged);
}

void ModbusArchLabel::setUseFirst(bool use)
{
    setUse(m_useFirst, use, &ModbusArchLabel::useFirstChanged);
}

void ModbusArchLabel::setUseLast(bool use)
{
    setUse(m_useLast, use, &ModbusArchLabel::useLastChanged);
}

void ModbusArchLabel::setEndVariantLabel(const QVariant &label)
{
    setEndLabel(getIntLabel(label));
}

void ModbusArchLabel::setEndLabel(quint32 label)
{
    if (label == m_endLabel)
        return;
    m_endLabel = label;
    reinitIntervalReading();
    needValueRead();
    emit endLabelChanged();
}

void ModbusArchLabel::setMaxRequestLabels(int count)
{
    if (count == m_maxRequestLabels)
        return;
    m_maxRequestLabels = count;
    emit maxRequestLabelsChanged(count);
}

void ModbusArchLabel::setPrevLabel(quint32 label)
{
    if (label == m_prevLabel)
        return;
    m_prevLabel = label;
    emit prevLabelChanged();
}

void ModbusArchLabel::setNextLabel(quint32 label)
{
    if (label == m_nextLabel)
        return;
    m_nextLabel = label;
    emit nextLabelChanged();
}

void ModbusArchLabel::setFirstLabel(quint32 label)
{
    if (label == m_firstLabel)
        return;
    m_firstLabel = label;
    emit firstLabelChanged();
}

void ModbusArchLabel::setLastLabel(quint32 label)
{
    if (label == m_lastLabel)
        return;
    m_lastLabel = label;
    emit lastLabelChanged();
}

void ModbusArchLabel::setPrevLabelExists(bool exists)
{
    if (exists == m_prevLabelExists)
        return;
    m_prevLabelExists = exists;
    emit prevLabelExistsChanged();
}

void ModbusArchLabel::setNextLabelExists(bool exists)
{
    if (exists == m_nextLabelExists)
        return;
    m_nextLabelExists = exists;
    emit nextLabelExistsChanged();
}
