// What every command shares: the options that reach the machine, the outcome a command reports,
// and the connection around its work.
#pragma once

#include <functional>
#include <string>

#include "shapes/outcome.h"

namespace stampctl_cli {

// Outcomes and their JSON shapes are shared with the HTTP service.
using namespace stampctl_shapes;

struct Options {
    std::string code;  // the machine's security code; never printed, never traced
    bool simulator = false;
    bool json = false;
    bool quiet = false;
};

// Connects with the options' code, runs `work` and disconnects. A refused connection is the
// outcome, with "connected": false in its data.
Outcome withMachine(const Options& options, const std::function<Outcome()>& work);

}  // namespace stampctl_cli
