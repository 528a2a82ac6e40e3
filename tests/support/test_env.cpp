#include "tests/support/test_env.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "stampctl/core/clock.h"
#include "stampctl/core/paths.h"

namespace stampctl::test {

TempBaseDir::TempBaseDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "stampctl-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
    for (const char* sub : {"/log", "/cut"}) std::filesystem::create_directories(m_path + sub);
    ::setenv(kBaseDirEnv, m_path.c_str(), 1);
}

TempBaseDir::~TempBaseDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void TempBaseDir::write(const std::string& name, const std::string& content) const
{
    std::ofstream(file(name), std::ios::binary | std::ios::trunc) << content;
}

std::string readFile(const std::string& path)
{
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string traceFileFor(const std::string& baseDir, int64_t wallMs)
{
    const time_t seconds = static_cast<time_t>(wallMs / 1000);
    struct tm local {};
    localtime_r(&seconds, &local);
    char name[64];
    std::snprintf(name, sizeof name, "/log/%04d_%02d_%02d.ini", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return baseDir + name;
}

std::vector<std::string> traceBodies(const std::string& baseDir)
{
    std::vector<std::string> bodies;
    // "hh:mm:ss.mmm" and the one space that follows it.
    for (const std::string& line : splitLines(readFile(traceFileFor(baseDir, clock().wallMs()))))
        bodies.push_back(line.size() > 13 ? line.substr(13) : std::string());
    return bodies;
}

int tracedLines(const std::string& baseDir, const std::string& part)
{
    const auto lines = traceBodies(baseDir);
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != l.npos; }));
}

int64_t localWallMs(int year, int month, int day, int hour, int minute, int second, int ms)
{
    struct tm local {};
    local.tm_year = year - 1900, local.tm_mon = month - 1, local.tm_mday = day;
    local.tm_hour = hour, local.tm_min = minute, local.tm_sec = second;
    local.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&local)) * 1000 + ms;
}

}  // namespace stampctl::test
