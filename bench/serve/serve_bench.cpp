// The HTTP service on the simulated machine, on loopback: status reads per second and their
// 99th-percentile latency with 50 clients, and the time a stamp takes through the service
// against the same stamp by a direct C call (the difference is the service's own cost).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <httplib.h>

#include "serve/service.h"
#include "serve/tokens.h"
#include "stampctl/sim/sim_machine.h"
#include "stampctl/stampctl.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kClients = 50;
constexpr auto kReadFor = std::chrono::seconds(3);
const std::string kStamp = R"({"seal": 2, "angle": 90, "pixel": [800, 1200], "photo": ")";

struct Running {
    std::string base, token;
    std::unique_ptr<stampctl_serve::Service> service;
    int port = 0;
};

// A private base directory, a token, and the service on a free port.
bool begin(Running& r)
{
    r.base = (std::filesystem::temp_directory_path() / "stampctl-bench-XXXXXX").string();
    if (!::mkdtemp(r.base.data())) return false;
    for (const char* sub : {"/log", "/cut"}) std::filesystem::create_directories(r.base + sub);
    ::setenv("STAMPCTL_BASE_DIR", r.base.c_str(), 1);
    ::setenv("STAMPCTL_SIMULATOR", "1", 1);
    std::string error;
    r.token =
        stampctl_serve::TokenFile(stampctl_serve::tokenFilePath()).add("bench", stampctl_serve::Role::Operator, error);
    stampctl_serve::ServeSettings settings;
    settings.listen = "127.0.0.1:0";
    r.service = std::make_unique<stampctl_serve::Service>(settings);
    r.port = r.service->start(error);
    return r.port > 0 && !r.token.empty();
}

void end(Running& r)
{
    r.service.reset();
    std::error_code ignored;
    std::filesystem::remove_all(r.base, ignored);
}

void BM_StatusFiftyClients(benchmark::State& state)
{
    Running r;
    if (!begin(r)) return state.SkipWithError("the service did not start");
    std::vector<double> latencies;
    std::mutex lock;
    long long failures = 0;
    for (auto _ : state) {
        std::vector<std::thread> clients;
        const auto until = Clock::now() + kReadFor;
        for (int i = 0; i < kClients; ++i) {
            clients.emplace_back([&] {
                httplib::Client client("127.0.0.1", r.port);
                client.set_connection_timeout(10, 0);
                std::vector<double> mine;
                long long failed = 0;
                while (Clock::now() < until) {
                    const auto start = Clock::now();
                    const auto reply = client.Get("/v1/status", {{"Authorization", "Bearer " + r.token}});
                    mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                    failed += !reply || reply->status != 200;
                }
                std::lock_guard<std::mutex> guard(lock);
                latencies.insert(latencies.end(), mine.begin(), mine.end());
                failures += failed;
            });
        }
        for (auto& c : clients) c.join();
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["requests_per_s"] = latencies.size() / std::chrono::duration<double>(kReadFor).count();
    state.counters["p99_ms"] = latencies.empty() ? 0 : latencies[latencies.size() * 99 / 100];
    state.counters["failures"] = static_cast<double>(failures);
    end(r);
}
BENCHMARK(BM_StatusFiftyClients)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Stamps at a pixel of the last photo, alternately through the service and directly, so that
// both meet the machine in the same state.
void BM_StampServiceAgainstDirect(benchmark::State& state)
{
    Running r;
    if (!begin(r)) return state.SkipWithError("the service did not start");
    httplib::Client client("127.0.0.1", r.port);
    client.set_read_timeout(120, 0);
    const httplib::Headers auth{{"Authorization", "Bearer " + r.token}};
    const auto photo = client.Post("/v1/photos", auth, "", "application/json");
    if (!photo || photo->status != 200) return state.SkipWithError("no photo");
    const std::string id = nlohmann::json::parse(photo->body)["data"]["id"];
    double viaService = 0, direct = 0;
    int stamps = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        const auto reply = client.Post("/v1/stamps", auth, kStamp + id + "\"}", "application/json");
        viaService += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (!reply || reply->status != 200) return state.SkipWithError("the service's stamp failed");
        // The service's connection is the process's: the direct call uses it in between.
        start = Clock::now();
        if (manualPrintStart(2, 800, 1200, 90) != 0) return state.SkipWithError("the direct stamp failed");
        direct += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        ++stamps;
    }
    state.counters["service_ms"] = viaService / stamps;
    state.counters["direct_ms"] = direct / stamps;
    state.counters["added_ms"] = (viaService - direct) / stamps;
    end(r);
}
BENCHMARK(BM_StampServiceAgainstDirect)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
