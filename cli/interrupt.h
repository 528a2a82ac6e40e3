// Ctrl-C and SIGTERM: the first asks the run to stop waiting and wind down (a stamp under way
// finishes, the machine is disconnected, which switches its light off); the second ends the
// program at once.
#pragma once

#include <chrono>

namespace stampctl_cli {

// The exit status of a run that was interrupted, as shells report a SIGINT.
constexpr int kExitInterrupted = 130;

void catchInterrupts();
bool interrupted();
// Sleeps for `duration` unless interrupted first; whether the whole time passed.
bool sleepUnlessInterrupted(std::chrono::milliseconds duration);

}  // namespace stampctl_cli
