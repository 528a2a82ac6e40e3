#include "session.h"


#include "stampctl/stampctl.h"

namespace stampctl_cli {

namespace {

constexpr int kBadArgument = -91;

}  // namespace

Outcome withMachine(const Options& options, const std::function<Outcome()>& work)
{
    const int connected = connMachine(options.code.c_str());
    if (connected != 0) {
        // A refused code leaves the link open; nothing else is done before letting go of it.
        disconnMachine();
        Outcome refused = failure(connected, {{"connected", false}});
        if (connected == kBadArgument) refused.detail = "the machine refused the security code";
        return refused;
    }
    Outcome outcome = work();
    disconnMachine();
    return outcome;
}

}  // namespace stampctl_cli
