#include "stampctl/sim/handling.h"

namespace stampctl::sim {

void moveSeal(SimMachine& m, int from, int to)
{
    if (from < 1 || from > kSlotCount || to < 1 || to > kSlotCount || from == to) return;
    m.update([&](MachineState& s) {
        s.slots[to - 1] = s.slots[from - 1];
        s.slots[from - 1] = Slot{};
    });
}

void raiseAlarm(SimMachine& m, const std::string& entry)
{
    m.update([&](MachineState& s) {
        if (s.alarmLog.size() >= kAlarmLogCapacity) s.alarmLog.erase(s.alarmLog.begin());
        s.alarmLog.push_back(entry);
    });
}

void setDoorFault(SimMachine& m, Door door, bool faulty)
{
    const uint8_t bit = door == Door::Paper ? kFaultPaperDoor : kFaultSideDoorRfid;
    m.update([&](MachineState& s) {
        if (faulty)
            s.baseStatus.fault |= bit;
        else
            s.baseStatus.fault &= static_cast<uint8_t>(~bit);
    });
}

}  // namespace stampctl::sim
