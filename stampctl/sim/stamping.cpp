// The knobs of the stamping mechanism: scripted stamps and the record of the stamps made.
#include "stampctl/sim/sim_machine.h"

namespace stampctl::sim {

void SimMachine::scriptNextStamp(const StampScript& script)
{
    update([&](MachineState& s) { s.stampScripts.push_back(script); });
}

std::vector<StampRequest> SimMachine::stamps() const { return state().stamps; }

}  // namespace stampctl::sim
