// What happens to the machine between two calls of the library: somebody moves a seal to
// another slot or puts a new one in, an alarm is raised and logged, a door mechanism fails.
#pragma once

#include <string>

#include "stampctl/sim/sim_machine.h"

namespace stampctl::sim {

constexpr uint8_t kFaultSideDoorRfid = 0x01;  // fault byte: the seal-change door's RFID reader
constexpr uint8_t kFaultPaperDoor = 0x02;     // fault byte: the paper door
constexpr size_t kAlarmLogCapacity = 255;     // the count byte cannot say more

// The seal of slot `from` (tag and all) now sits in slot `to`; slot `from` is empty.
void moveSeal(SimMachine& m, int from, int to);
// The machine logs an alarm; once its log is full, the oldest entry makes room.
void raiseAlarm(SimMachine& m, const std::string& entry);
// The door's fault bit in every status the machine reports of its own, until cleared.
void setDoorFault(SimMachine& m, Door door, bool faulty);

}  // namespace stampctl::sim
