// A connected simulated machine with its two cameras and the paper board fresh, and helpers to
// wait for what the capture threads do in their own time.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "stampctl/sim/paper_board.h"
#include "stampctl/sim/sim_camera.h"
#include "tests/support/sim_session.h"

namespace stampctl::test {

// Waits (really, briefly) for something a capture thread does on its own.
inline bool eventually(const std::function<bool()>& done, int realTimeoutMs = 10000)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class Cameras : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc().resetToDefault();
        env().resetToDefault();
        board().resetToDefault();
        ASSERT_EQ(s.connect(), EC_OK);
    }
    void TearDown() override
    {
        doc().holdReads(false);
        env().holdReads(false);
        closeVideoCap();
        closeEnvVideoCap();
    }

    static sim::SimCamera& doc() { return sim::documentCamera(); }
    static sim::SimCamera& env() { return sim::environmentCamera(); }
    static sim::PaperBoard& board() { return sim::paperBoard(); }
    std::string file(const std::string& name) const { return s.base() + "/" + name; }
    int envPhoto(const std::string& name) { return TakeEnvPhoto(file(name).c_str()); }
    // The photo requests a camera's channel has raised, as its trace shows them.
    int requests(sim::SimCamera& cam = sim::documentCamera()) const
    {
        return tracedLines(s.base(), &cam == &env() ? "SetEnvPHStatus st:0" : "CSeal::SetPHStatus st:0");
    }

    // The capture thread has made `passes` more reads.
    void passes(uint64_t count, sim::SimCamera& cam = sim::documentCamera())
    {
        ASSERT_TRUE(cam.waitForReadsStarted(cam.readsStarted() + count));
    }
    // Runs `photo` so that its request reaches the camera's thread while the thread is inside a
    // read; `beforeNextRead` sets up the read after that one. Returns photo's result.
    int photoDuringRead(const std::function<int()>& photo, const std::function<void()>& beforeNextRead = {},
                        sim::SimCamera& cam = sim::documentCamera())
    {
        cam.holdReads(true);
        EXPECT_TRUE(cam.waitForHeldRead());
        if (beforeNextRead) beforeNextRead();
        const int before = requests(cam);
        auto result = std::async(std::launch::async, photo);
        const bool requested = eventually([&] { return requests(cam) > before; });
        cam.holdReads(false);
        EXPECT_TRUE(requested);
        return result.get();
    }
    static bool exists(const std::string& path) { return !cv::imread(path).empty(); }
    static cv::Size sizeOf(const std::string& path) { return cv::imread(path).size(); }

    SimSession s;
};

}  // namespace stampctl::test
