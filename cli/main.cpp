// stampctl: drives a seal-stamping machine from a shell or a script through libstampctl.
#include <cstdio>
#include <cstdlib>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "output.h"

using namespace stampctl_cli;

namespace {

constexpr const char* kDescription =
    "stampctl drives a seal-stamping machine attached by USB (or the simulated one).\n"
    "Every command connects, does its work and disconnects; see stampctl(1).";

void addGlobalOptions(CLI::App& app, Options& options)
{
    app.add_option("--code", options.code,
                   "the machine's security code (default: $STAMPCTL_CODE, else none)")
        ->envname("STAMPCTL_CODE")
        ->type_name("CODE");
    app.add_flag("--simulator", options.simulator,
                 "use the simulated machine and cameras (as STAMPCTL_SIMULATOR=1)");
    app.add_flag("--json", options.json, "print one JSON object: command, code, message, data");
    app.add_flag("-q,--quiet", options.quiet, "no progress and no confirmations, only results");
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    CLI::App app{kDescription, "stampctl"};
    // Options of the whole tool may follow the command: "stampctl status --json".
    app.fallthrough();
    app.footer("--code, --simulator, --json and --quiet may also follow the command. See stampctl(1).");
    app.require_subcommand(1);
    app.failure_message(CLI::FailureMessage::help);
    addGlobalOptions(app, options);

    Commands commands(options);
    addMachineCommands(app, commands);
    addRecordCommands(app, commands);
    addStampCommands(app, commands);
    addCalibrationCommands(app, commands);
    addServeCommands(app, commands);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kExitSuccess : kExitUsage;
    }
    // Before the library's first call, which decides between the machine and the simulator.
    if (options.simulator) ::setenv("STAMPCTL_SIMULATOR", "1", 1);

    const auto [name, action] = commands.chosen();
    if (!action) {
        std::fputs(app.help().c_str(), stderr);
        return kExitUsage;
    }
    const int outFd = setOutputApart();
    return report(options, name, action(), outFd);
}
