// What the fuzz targets share: a private base directory for the library's files, installed for
// the whole run and removed when the process ends.
#pragma once

#include <filesystem>
#include <system_error>

#include "tests/support/test_env.h"

namespace stampctl::fuzz {

// The trace log is kept (its lines format what the fuzzer made up) but started afresh every
// `traceRuns` inputs, so that a long run does not fill the disk.
class ScratchBase : public test::TempBaseDir {
public:
    explicit ScratchBase(int traceRuns = 2000) : m_traceRuns(traceRuns) {}

    // Called once per input.
    void nextRun()
    {
        if (++m_runs % m_traceRuns != 0) return;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(file("log"), ignored))
            std::filesystem::remove(entry.path(), ignored);
    }

private:
    int m_traceRuns;
    long m_runs = 0;
};

// The run's one directory.
inline ScratchBase& scratch()
{
    static ScratchBase base;
    return base;
}

}  // namespace stampctl::fuzz
