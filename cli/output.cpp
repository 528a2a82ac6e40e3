#include "output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <QtGlobal>

#include "interrupt.h"
#include "stampctl/stampctl.h"

namespace stampctl_cli {

namespace {

constexpr int kBadArgument = -91;

// The machine could not be reached at all: not found, not opened, no (valid) answer.
bool isNoAnswer(int code) { return code == -90 || code == -100 || code == -400 || code == -401 || code == -402; }

void writeAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// The failure line has to stay one line whatever the library's text holds.
std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// What the user can do about the failures a user can mend.
Outcome withHint(Outcome outcome)
{
    if (!outcome.hint.empty() || outcome.code == 0) return outcome;
    const bool notConnected = outcome.data.is_object() && outcome.data.value("connected", true) == false;
    if (notConnected && outcome.code == kBadArgument)
        outcome.hint = "give the machine's security code with --code or STAMPCTL_CODE";
    else if (isNoAnswer(outcome.code))
        outcome.hint = "is the machine plugged in and switched on, and is this user in the group stampctl?";
    return outcome;
}

std::string withNewline(std::string text)
{
    if (!text.empty() && text.back() != '\n') text += '\n';
    return text;
}

}  // namespace

int setOutputApart()
{
    static const QtMessageHandler qtDefault = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg) qtDefault(type, context, text);
    });
    std::fflush(stdout);
    const int out = ::dup(STDOUT_FILENO);
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (out < 0 || nowhere < 0) return STDOUT_FILENO;
    ::dup2(nowhere, STDOUT_FILENO);
    ::close(nowhere);
    return out;
}

int report(const Options& options, const std::string& command, const Outcome& given, int outFd)
{
    const Outcome outcome = withHint(given);
    const bool failed = outcome.code != 0;
    if (options.json)
        writeAll(outFd, envelopeLine(command, outcome) + "\n");
    else if (!failed && !(options.quiet && outcome.confirmation))
        writeAll(outFd, withNewline(outcome.text));
    const std::string who = "stampctl" + (command.empty() ? "" : " " + command) + ": ";
    if (!outcome.interruption.empty()) {
        std::string line = who + "interrupted: " + outcome.interruption + "; disconnected from the machine";
        if (failed) line += " (" + std::to_string(outcome.code) + " " + messageOf(outcome) + ")";
        writeAll(STDERR_FILENO, oneLine(line) + "\n");
        return kExitInterrupted;
    }
    if (!failed) return kExitSuccess;
    // The tool's refusals of the command line say what is wrong in words of their own.
    std::string line = who + (outcome.usage ? outcome.detail : std::to_string(outcome.code) + " " + messageOf(outcome));
    if (!outcome.usage && !outcome.detail.empty()) line += " (" + outcome.detail + ")";
    if (!outcome.hint.empty()) line += "; " + outcome.hint;
    writeAll(STDERR_FILENO, oneLine(line) + "\n");
    return outcome.usage ? kExitUsage : kExitFailure;
}

int report(bool json, const Named& named)
{
    Options options;
    options.json = json;
    return report(options, named.command, named.outcome, setOutputApart());
}

}  // namespace stampctl_cli
