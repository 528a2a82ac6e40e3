// stampctl: drives a seal-stamping machine from a shell or a script through libstampctl.
#include <cstdio>
#include <cstdlib>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "interrupt.h"
#include "output.h"
#include "trace_tail.h"
#include "usage.h"

using namespace stampctl_cli;

namespace {

constexpr const char* kDescription =
    "stampctl drives a seal-stamping machine attached by USB (or the simulated one).\n"
    "Every command connects, does its work and disconnects; see stampctl(1).";

void addGlobalOptions(CLI::App& app, Options& options)
{
    app.add_option("--code", options.code, "the machine's security code (default: $STAMPCTL_CODE, else none)")
        ->envname("STAMPCTL_CODE")
        ->type_name("CODE");
    app.add_flag("--simulator", options.simulator, "use the simulated machine and cameras (as STAMPCTL_SIMULATOR=1)");
    app.add_flag("--json", options.json, "print one JSON object: command, code, message, data");
    app.add_flag("-q,--quiet", options.quiet, "no progress and no confirmations, only results");
    app.add_flag("-v,--verbose", options.verbose, "copy the library's trace lines of this run to standard error");
    app.set_version_flag("--version", std::string("stampctl ") + STAMPCTL_VERSION);
}

}  // namespace

int main(int argc, char** argv)
{
    catchInterrupts();
    Options options;
    CLI::App app{kDescription, "stampctl"};
    // Options of the whole tool may follow the command: "stampctl status --json".
    app.fallthrough();
    app.footer(
        "--code, --simulator, --json, --quiet and --verbose may also follow the command. "
        "See stampctl(1).");
    app.require_subcommand(1);
    addGlobalOptions(app, options);

    Commands commands(options);
    addMachineCommands(app, commands);
    addRecordCommands(app, commands);
    addStampCommands(app, commands);
    addCalibrationCommands(app, commands);
    addHelpCommand(app, commands);
    addServeCommands(app, commands);

    // --json is known before the parser has finished, so that its refusals are JSON too.
    const bool json = wantsJson(argc, argv);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return report(json, helpOutcome(app.help()));
    } catch (const CLI::CallForAllHelp&) {
        return report(json, helpOutcome(app.help()));
    } catch (const CLI::CallForVersion&) {
        return report(json, versionOutcome());
    } catch (const CLI::ParseError& e) {
        return report(json, usageError(app, e));
    }
    // Before the library's first call, which decides between the machine and the simulator.
    if (options.simulator) ::setenv("STAMPCTL_SIMULATOR", "1", 1);

    const auto [name, action] = commands.chosen();
    if (!action) return report(json, usageError(app, CLI::RequiredError("A command")));
    const int outFd = setOutputApart();
    Outcome outcome;
    {
        TraceEcho echo(options.verbose);
        outcome = action();
    }
    return report(options, name, outcome, outFd);
}
