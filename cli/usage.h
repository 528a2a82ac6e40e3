// What the tool says before any command runs: help, its version, and refusals of the command line
// with the way to the right one.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "session.h"

namespace stampctl_cli {

// Whether --json stands among the arguments (before a "--").
bool wantsJson(int argc, char** argv);

Named helpOutcome(const std::string& help);
Named versionOutcome();
// The parser's refusal, for the command it had reached: what is wrong, a "did you mean" for a
// mistyped command, and where the help is.
Named usageError(const CLI::App& app, const CLI::ParseError& error);

// "stampctl help [COMMAND...]": the help of the tool or of that command.
void addHelpCommand(CLI::App& app, Commands& commands);

}  // namespace stampctl_cli
