#include "output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <QtGlobal>

#include "stampctl/stampctl.h"

namespace stampctl_cli {

namespace {

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

int report(const Options& options, const std::string& command, const Outcome& outcome, int outFd)
{
    const bool failed = outcome.code != 0;
    if (options.json)
        writeAll(outFd, envelopeLine(command, outcome) + "\n");
    else if (!failed && !(options.quiet && outcome.confirmation))
        writeAll(outFd, withNewline(outcome.text));
    if (!failed) return kExitSuccess;
    std::string line = "stampctl " + command + ": " + std::to_string(outcome.code) + " " + messageOf(outcome);
    if (!outcome.detail.empty()) line += " (" + outcome.detail + ")";
    writeAll(STDERR_FILENO, oneLine(line) + "\n");
    return kExitFailure;
}

}  // namespace stampctl_cli
