// Shared scaffolding of the tests: a private base directory, the trace file's lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stampctl::test {

// A fresh directory with "log" and "cut" in it, installed as the library's base directory for
// the life of the object and removed afterwards.
class TempBaseDir {
public:
    TempBaseDir();
    ~TempBaseDir();
    TempBaseDir(const TempBaseDir&) = delete;
    TempBaseDir& operator=(const TempBaseDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    void write(const std::string& name, const std::string& content) const;

private:
    std::string m_path;
};

std::string readFile(const std::string& path);
std::vector<std::string> splitLines(const std::string& text);
// The trace file of the local day of `wallMs`.
std::string traceFileFor(const std::string& baseDir, int64_t wallMs);
// The lines of today's trace file (by the clock in force) without their time stamps.
std::vector<std::string> traceBodies(const std::string& baseDir);
// How many of those lines contain `part`.
int tracedLines(const std::string& baseDir, const std::string& part);
// The wall-clock milliseconds of a local date and time.
int64_t localWallMs(int year, int month, int day, int hour, int minute, int second, int ms);

}  // namespace stampctl::test
