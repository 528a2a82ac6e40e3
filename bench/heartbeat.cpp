// The library's own cost of one status poll: frame, checksum, exchange lock, validation, status
// record and trace lines (tracing on), against the simulated machine with no bus latency.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "stampctl/core/paths.h"
#include "stampctl/seal.h"
#include "stampctl/sim/sim_machine.h"

namespace {

std::string makeBaseDir()
{
    std::string dir = (std::filesystem::temp_directory_path() / "stampctl-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data())) return {};
    std::filesystem::create_directories(dir + "/log");  // the trace is written only where it exists
    ::setenv(stampctl::kBaseDirEnv, dir.c_str(), 1);
    return dir;
}

void BM_HeartbeatExchange(benchmark::State& state)
{
    const std::string base = makeBaseDir();
    ::setenv("STAMPCTL_SIMULATOR", "1", 1);
    stampctl::sim::machine().setExchangeLatencyMs(0);
    CSeal* seal = CSeal::Instance();
    if (seal->_connMachine("mt5934mt") != 0) {
        state.SkipWithError("the simulated machine did not connect");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(seal->ExeHeart());

    std::error_code ignored;
    std::filesystem::remove_all(base, ignored);
}
BENCHMARK(BM_HeartbeatExchange)->Unit(benchmark::kMicrosecond);

}  // namespace
