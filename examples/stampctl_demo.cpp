// A tour of libstampctl through its public C functions only.
//
//   STAMPCTL_SIMULATOR=1 ./stampctl_demo      the built-in simulated machine
//   ./stampctl_demo [security code]           a real machine on USB
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "stampctl/stampctl.h"

namespace {

constexpr const char* kFactoryAccessCode = "mt5934mt";
constexpr const char* kInstallDir = "/opt/apps/cn.orvane.stampctl/files";

std::string baseDir()
{
    const char* dir = std::getenv("STAMPCTL_BASE_DIR");
    return (dir && *dir) ? dir : kInstallDir;
}

std::string todaysTraceFile()
{
    const time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char name[64];
    std::snprintf(name, sizeof name, "/log/%04d_%02d_%02d.ini", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday);
    return baseDir() + name;
}

// Prints a result code with its message; true on success.
bool report(const char* what, int code)
{
    std::printf("  %-34s %d  %s\n", what, code, code == 0 ? "" : geterrMsg(code));
    return code == 0;
}

// Prints a text result; failures come back as "-@#<code>".
void reportText(const char* what, const char* text)
{
    const std::string value = text ? text : "";
    if (value.rfind("-@#", 0) == 0) {
        const int code = std::atoi(value.c_str() + 3);
        std::printf("  %-34s failed: %d  %s\n", what, code, geterrMsg(code));
    } else {
        std::printf("  %-34s \"%s\"\n", what, value.c_str());
    }
}

void showTraceTail(size_t count)
{
    std::ifstream in(todaysTraceFile());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    const size_t from = lines.size() > count ? lines.size() - count : 0;
    std::printf("\nLast %zu lines of the trace %s:\n", lines.size() - from, todaysTraceFile().c_str());
    for (size_t i = from; i < lines.size(); ++i) std::printf("  %s\n", lines[i].c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const bool simulated = std::getenv("STAMPCTL_SIMULATOR") && std::string(std::getenv("STAMPCTL_SIMULATOR")) == "1";
    const char* code = argc > 1 ? argv[1] : kFactoryAccessCode;
    std::printf("libstampctl demo on %s; files under %s\n\n",
                simulated ? "the simulated machine" : "a real machine (USB 0483:5750)", baseDir().c_str());

    std::printf("Connecting\n");
    if (!report("connMachine", connMachine(code))) {
        std::printf("\nNo connection. For a real machine: plug it in, run as a user allowed to open\n"
                    "USB devices (or root), and pass the machine's security code if it has one.\n"
                    "Without a machine: STAMPCTL_SIMULATOR=1.\n");
        showTraceTail(12);
        return 1;
    }
    report("isConnMachine (0 = answers)", isConnMachine());

    std::printf("\nIdentity\n");
    reportText("getMachineNum", getMachineNum());
    reportText("getMachineType", getMachineType());
    reportText("getMachineId", getMachineId());
    reportText("getFirmwareVer", getFirmwareVer());
    std::printf("  %-34s %d\n", "getFirmwareMode", getFirmwareMode());

    std::printf("\nDisconnecting\n");
    report("disconnMachine", disconnMachine());
    report("isConnMachine (1 = silent)", isConnMachine() == 1 ? 0 : -1);

    showTraceTail(16);
    return 0;
}
