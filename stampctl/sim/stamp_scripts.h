// Ready-made courses of a stamp that goes wrong, for SimMachine::scriptNextStamp.
#pragma once

#include <cstdint>

#include "stampctl/sim/machine_state.h"

namespace stampctl::sim::stamp_scripts {

constexpr uint8_t kFaultXMotor = 0x04;  // fault byte: X-axis motor

// Busy, then the fault (state 5 with `fault` set), then the machine resets itself (states 1 and
// 2) and is ready again without having stamped: about 5 s in all.
StampScript faultThenReset(uint8_t fault = kFaultXMotor);
// Busy for ever: the mechanism hangs and no heartbeat ever sees the stamp end.
StampScript stall();
// The mechanism moves and comes back ready, but never signals pre-completion or completion.
StampScript noCompletion();

}  // namespace stampctl::sim::stamp_scripts
