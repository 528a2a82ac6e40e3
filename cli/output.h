// How an outcome reaches the user: one JSON object or a text on standard output, and on failure
// one line on standard error.
#pragma once

#include <string>

#include "session.h"

namespace stampctl_cli {

// Exit statuses: the parser's own for bad arguments, one for every failure the machine or the
// library reports.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The library writes a few transport diagnostics to standard output and the cameras it finds as
// Qt debug messages. From here on both go nowhere, so that what the tool prints (a JSON object
// above all, a single line on failure) stays whole; the tool writes to the descriptor this
// returns. Qt's warnings still reach standard error.
int setOutputApart();

// Prints the outcome of `command` and returns the exit status; a failure the user can mend comes
// with a hint. A run that was interrupted exits with kExitInterrupted.
int report(const Options& options, const std::string& command, const Outcome& outcome, int outFd);
// The same for what is settled before any command runs (help, version, a refused command line).
int report(bool json, const Named& named);

}  // namespace stampctl_cli
