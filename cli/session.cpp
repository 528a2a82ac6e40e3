#include "session.h"

#include "interrupt.h"
#include "progress.h"
#include "stampctl/stampctl.h"

namespace stampctl_cli {

namespace {

constexpr int kBadArgument = -91;

}  // namespace

Outcome withMachine(const Options& options, const std::function<Outcome()>& work, const std::string& doing,
                    const Step& step)
{
    Progress progress(options, doing, step);
    const int connected = connMachine(options.code.c_str());
    if (connected != 0) {
        // A refused code leaves the link open; nothing else is done before letting go of it.
        disconnMachine();
        Outcome refused = failure(connected, {{"connected", false}});
        if (connected == kBadArgument) refused.detail = "the machine refused the security code";
        return refused;
    }
    Outcome outcome = interrupted() ? Outcome{} : work();
    disconnMachine();
    if (interrupted() && outcome.interruption.empty())
        outcome.interruption =
            outcome.text.empty() && outcome.code == 0 ? "nothing was done" : "the work under way was finished first";
    return outcome;
}

}  // namespace stampctl_cli
