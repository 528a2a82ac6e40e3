#include "shapes/outcome.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "stampctl/stampctl.h"

namespace stampctl_shapes {

namespace {

constexpr const char* kInstallDir = "/opt/apps/cn.orvane.stampctl/files";
constexpr const char* kFailureTextPrefix = "-@#";
constexpr int kBadArgument = -91;

}  // namespace

Outcome failure(int code, nlohmann::json data)
{
    Outcome outcome;
    outcome.code = code;
    outcome.data = std::move(data);
    return outcome;
}

Outcome refusal(std::string detail)
{
    Outcome outcome = failure(kBadArgument);
    outcome.detail = std::move(detail);
    return outcome;
}

std::string messageOf(const Outcome& outcome)
{
    return outcome.message.empty() ? geterrMsg(outcome.code) : outcome.message;
}

nlohmann::ordered_json envelope(const std::string& command, const Outcome& outcome)
{
    nlohmann::ordered_json object;
    object["command"] = command;
    object["code"] = outcome.code;
    object["message"] = messageOf(outcome);
    object["data"] = outcome.data;
    if (!outcome.detail.empty()) object["detail"] = outcome.detail;
    if (!outcome.hint.empty()) object["hint"] = outcome.hint;
    if (!outcome.interruption.empty()) object["interrupted"] = outcome.interruption;
    return object;
}

std::string envelopeLine(const std::string& command, const Outcome& outcome)
{
    return envelope(command, outcome).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

Text libraryText(const char* result)
{
    Text t;
    t.value = result ? result : "";
    const size_t prefix = std::strlen(kFailureTextPrefix);
    if (t.value.compare(0, prefix, kFailureTextPrefix) == 0) {
        t.code = std::atoi(t.value.c_str() + prefix);
        t.value.clear();
    }
    return t;
}

std::vector<std::string> split(const std::string& joined, char separator)
{
    std::vector<std::string> parts;
    if (joined.empty()) return parts;
    size_t from = 0;
    for (size_t at; (at = joined.find(separator, from)) != std::string::npos; from = at + 1)
        parts.push_back(joined.substr(from, at - from));
    parts.push_back(joined.substr(from));
    return parts;
}

std::string baseDir()
{
    const char* dir = std::getenv("STAMPCTL_BASE_DIR");
    return (dir && *dir) ? dir : kInstallDir;
}

std::string photoDir() { return baseDir() + "/cut"; }

std::string timestampedName()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    struct tm local {};
    localtime_r(&seconds, &local);
    char name[64];
    std::snprintf(name, sizeof name, "stampctl_%04d%02d%02d_%02d%02d%02d_%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(millis));
    return name;
}

}  // namespace stampctl_shapes
