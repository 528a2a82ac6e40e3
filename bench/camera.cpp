// A document photo on the simulated camera, type 1 with the erase flag (only the cut picture is
// written): the time from the request to the file written, split into the wait for the frame
// (the handshake with the capture thread, paced by the camera's 15 frames a second) and the
// processing (enlargement, straightening, crop, JPEG).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <opencv2/imgproc.hpp>

#include "stampctl/imaging/img_help.h"
#include "stampctl/seal.h"
#include "stampctl/sim/paper_board.h"
#include "stampctl/sim/sim_camera.h"
#include "stampctl/sim/sim_machine.h"

namespace {

const std::string& benchDir()
{
    static const std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "stampctl-cam-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        std::filesystem::create_directories(pattern + "/log");
        ::setenv("STAMPCTL_BASE_DIR", pattern.c_str(), 1);
        ::setenv("STAMPCTL_SIMULATOR", "1", 1);
        return pattern;
    }();
    return dir;
}

// A connected simulated machine with the document camera running over a sheet turned 1.5 deg.
CSeal& runningCamera()
{
    static CSeal* seal = [] {
        benchDir();
        stampctl::sim::machine().setExchangeLatencyMs(0);
        stampctl::sim::paperBoard().laySheet({{150, 155}, 1.5});
        CSeal* s = CSeal::Instance();
        if (s->_connMachine("mt5934mt") != 0 || s->_openVideoCap() != 0) std::abort();
        return s;
    }();
    return *seal;
}

void BM_PhotoRequestToCutWritten(benchmark::State& state)
{
    CSeal& seal = runningCamera();
    const std::string path = benchDir() + "/scan.png";
    for (auto _ : state)
        if (seal._getImageFormat(path.c_str(), 1, 1, 0) != 0) state.SkipWithError("photo failed");
}
BENCHMARK(BM_PhotoRequestToCutWritten)->Unit(benchmark::kMillisecond)->UseRealTime();

// The wait alone: request, then the thread's next pass hands the frame over.
void BM_PhotoWaitForFrame(benchmark::State& state)
{
    CSeal& seal = runningCamera();
    for (auto _ : state) {
        seal.SetPHStatus(CSeal::PH_REQUESTED);
        while (seal.GetPHStatus() != CSeal::PH_DONE) std::this_thread::yield();
    }
}
BENCHMARK(BM_PhotoWaitForFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The processing alone, on a frame of the board: the 1.024 enlargement about the centre, then
// the crop to the sheet written as JPEG at the configured quality.
void BM_PhotoProcessing(benchmark::State& state)
{
    runningCamera();
    const cv::Mat frame = stampctl::sim::paperBoard().render({3264, 2448});
    const std::string cut = benchDir() + "/processing.jpg";
    CutResult result;
    for (auto _ : state) {
        cv::Mat enlarged;
        cv::resize(frame, enlarged, cv::Size(3342, 2506), 0, 0, cv::INTER_LINEAR);
        const cv::Mat picture = enlarged(cv::Rect(39, 29, 3264, 2448));  // as the photo request cuts it
        CImgHelp::Instance()->AutoCutPaperByImg(picture, "bench", cut.c_str(), nullptr, 0, 0, result);
    }
}
BENCHMARK(BM_PhotoProcessing)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
