// What the fuzz targets share: a private base directory for the library's files, installed for
// the whole run and removed when the process ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "stampctl/core/paths.h"

namespace stampctl::fuzz {

class ScratchBase {
public:
    // The trace log is kept (its lines format what the fuzzer made up) but started afresh every
    // `traceRuns` inputs, so that a long run does not fill the disk.
    explicit ScratchBase(int traceRuns = 2000) : m_traceRuns(traceRuns)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "stampctl-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        m_path = pattern;
        std::filesystem::create_directories(m_path / "log");
        std::filesystem::create_directories(m_path / "cut");
        ::setenv(kBaseDirEnv, m_path.c_str(), 1);
    }
    ~ScratchBase()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchBase(const ScratchBase&) = delete;
    ScratchBase& operator=(const ScratchBase&) = delete;

    std::string file(const char* name) const { return (m_path / name).string(); }

    // Called once per input.
    void nextRun()
    {
        if (++m_runs % m_traceRuns != 0) return;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(m_path / "log", ignored))
            std::filesystem::remove(entry.path(), ignored);
    }

private:
    std::filesystem::path m_path;
    int m_traceRuns;
    long m_runs = 0;
};

}  // namespace stampctl::fuzz
