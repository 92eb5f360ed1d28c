#include "modbustasklistaddressed.h"

#include "modbustaskaddressed.h"

#include <algorithm>
#include <functional>

namespace {

// Walks from the end so that removing matches keeps the indexes of the rest valid; prepending keeps their order.
ModbusTaskListAddressed takeMatching(ModbusTaskList &list,
                                     const std::function<bool(const ModbusTaskAddressed &)> &match)
{
    ModbusTaskListAddressed taken;
    for (int i = int(list.size()) - 1; i >= 0; --i) {
        auto *task = dynamic_cast<ModbusTaskAddressed *>(list.at(i));
        if (task && match(*task)) {
            taken.prepend(task);
            list.removeAt(i);
        }
    }
    return taken;
}

} // namespace

void ModbusTaskListAddressed::sort()
{
    std::stable_sort(begin(), end(), [](const ModbusTaskAddressed *a, const ModbusTaskAddressed *b) {
        return a->address() < b->address();
    });
}

ModbusTaskListAddressed ModbusTaskListAddressed::takeFromTaskList(ModbusTaskList &list)
{
    return takeMatching(list, [](const ModbusTaskAddressed &) { return true; });
}

ModbusTaskListAddressed ModbusTaskListAddressed::takeRegistersFromTaskList(ModbusTaskList &list)
{
    return takeMatching(list, [](const ModbusTaskAddressed &task) {
        const auto type = TavrexBus::getAddressType(task.address());
        return type == TavrexBus::InputRegisters || type == TavrexBus::HoldingRegisters;
    });
}

ModbusTaskListAddressed ModbusTaskListAddressed::takeFromTaskListByType(ModbusTaskList &list,
                                                                       TavrexBus::ModbusAddressType type)
{
    return takeMatching(list, [type](const ModbusTaskAddressed &task) {
        return TavrexBus::getAddressType(task.address()) == type;
    });
}

ModbusTaskListAddressed ModbusTaskListAddressed::takeCoilsFromTaskList(ModbusTaskList &list)
{
    return takeFromTaskListByType(list, TavrexBus::Coils);
}

ModbusTaskListAddressed ModbusTaskListAddressed::takeDiscreteInputsFromTaskList(ModbusTaskList &list)
{
    return takeFromTaskListByType(list, TavrexBus::DiscreteInputs);
}

ModbusTaskListAddressed ModbusTaskListAddressed::fromTaskList(const ModbusTaskList &list)
{
    ModbusTaskListAddressed result;
    for (ModbusTask *task : list) {
        if (auto *addressed = dynamic_cast<ModbusTaskAddressed *>(task))
            result.append(addressed);
    }
    return result;
}
