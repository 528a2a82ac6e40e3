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
    bool verbose = false;
};

// An outcome with the command it belongs to.
struct Named {
    std::string command;
    Outcome outcome;
};

// What a long operation is doing now, for its progress line; empty when nothing new is known.
using Step = std::function<std::string()>;

// Connects with the options' code, runs `work` and disconnects, showing progress meanwhile. A
// refused connection is the outcome, with "connected": false in its data. After Ctrl-C the work
// under way ends as it would, and the outcome says that the run was interrupted.
Outcome withMachine(const Options& options, const std::function<Outcome()>& work, const std::string& doing,
                    const Step& step = {});

}  // namespace stampctl_cli
