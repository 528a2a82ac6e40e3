// Image processing against plain OpenCV on a 3264 x 2448 photo of a sheet turned by 2 degrees:
// the fixed-point rotation against cv::warpAffine, the whole photo-to-cut path against an
// OpenCV-only pipeline, and the picture memory one photo-to-cut run holds at its peak.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "stampctl/imaging/img_help.h"
#include "stampctl/sim/paper_photo.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTurnDeg = 2.0;
constexpr int kCutEzh = 60;
constexpr int kJpegQuality = 80;

// A private directory for the trace and the cut pictures, made once per run.
const std::string& workDir()
{
    static const std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "stampctl-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        std::filesystem::create_directories(pattern + "/log");
        ::setenv("STAMPCTL_BASE_DIR", pattern.c_str(), 1);
        return pattern;
    }();
    return dir;
}

const cv::Mat& turnedPhoto()
{
    static const cv::Mat photo = [] {
        stampctl::sim::PaperPhoto layout;
        layout.angleDeg = kTurnDeg;
        layout.print = {{{250, 250, 1200, 500}}, {{300, 1000, 2000, 700}}};
        layout.impressions = {{{2200, 1500}, 120, false}};
        return stampctl::sim::drawPaperPhoto(layout);
    }();
    return photo;
}

// The rotation AutoRotateByPaper applies to this photo.
float turnAngle() { return static_cast<float>(2 * kPi - kTurnDeg * kPi / 180); }

// Argument: OpenCV worker threads (0 = its default, all cores); both rotations honour it.
struct ThreadCount {
    explicit ThreadCount(int n) : previous(cv::getNumThreads())
    {
        if (n > 0) cv::setNumThreads(n);
    }
    ~ThreadCount() { cv::setNumThreads(previous); }
    int previous;
};

void BM_cvImgRotate(benchmark::State& state)
{
    const ThreadCount threads(static_cast<int>(state.range(0)));
    const cv::Mat& photo = turnedPhoto();
    cv::Mat dst;
    float dx = 0, dy = 0;
    workDir();
    for (auto _ : state) {
        CImgHelp::cvImgRotate(photo, turnAngle(), dst, dx, dy);
        benchmark::DoNotOptimize(dst.data);
    }
}
BENCHMARK(BM_cvImgRotate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_warpAffine(benchmark::State& state)
{
    const ThreadCount threads(static_cast<int>(state.range(0)));
    const cv::Mat& photo = turnedPhoto();
    // Same output size and the same source position per destination pixel as cvImgRotate.
    cv::Mat sized;
    float dx = 0, dy = 0;
    workDir();
    CImgHelp::cvImgRotate(photo, turnAngle(), sized, dx, dy);
    const float c = std::cos(turnAngle()), s = std::sin(turnAngle());
    const cv::Matx23d toSource(c, s, dx, -s, c, dy);
    cv::Mat dst;
    for (auto _ : state) {
        cv::warpAffine(photo, dst, toSource, sized.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT,
                       cv::Scalar::all(0));
        benchmark::DoNotOptimize(dst.data);
    }
}
BENCHMARK(BM_warpAffine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PhotoToCut(benchmark::State& state)
{
    const cv::Mat& photo = turnedPhoto();
    const std::string out = workDir() + "/cut.jpg";
    CImgHelp* img = CImgHelp::Instance();
    img->setOutputSettings(kJpegQuality, 235, kCutEzh);
    CutResult cut;
    for (auto _ : state) {
        const bool found = img->AutoCutPaperByImg(photo, "bench", out.c_str(), nullptr, 0, 0, cut);
        if (!found) state.SkipWithError("sheet not found");
    }
}
BENCHMARK(BM_PhotoToCut)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_OpenCvOnlyPipeline(benchmark::State& state)
{
    const cv::Mat& photo = turnedPhoto();
    const float c = std::cos(turnAngle()), s = std::sin(turnAngle());
    cv::Mat sized;
    float dx = 0, dy = 0;
    workDir();
    CImgHelp::cvImgRotate(photo, turnAngle(), sized, dx, dy);
    const cv::Matx23d toSource(c, s, dx, -s, c, dy);
    const cv::Rect sheet(250, 250, 2745, 1943);
    std::vector<uchar> jpeg;
    for (auto _ : state) {
        cv::Mat grey, turned;
        cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY);
        cv::threshold(grey, grey, kCutEzh, 100, cv::THRESH_BINARY);
        cv::warpAffine(photo, turned, toSource, sized.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP);
        cv::imencode(".jpg", turned(sheet), jpeg, {cv::IMWRITE_JPEG_QUALITY, kJpegQuality});
        benchmark::DoNotOptimize(jpeg.data());
    }
}
BENCHMARK(BM_OpenCvOnlyPipeline)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// Counts the bytes and the full-size buffers of every matrix alive.
class CountingAllocator : public cv::MatAllocator {
public:
    explicit CountingAllocator(size_t fullSize) : m_fullSize(fullSize) {}

    cv::UMatData* allocate(int dims, const int* sizes, int type, void* data, size_t* step, cv::AccessFlag flags,
                           cv::UMatUsageFlags usage) const override
    {
        cv::UMatData* u = m_std->allocate(dims, sizes, type, data, step, flags, usage);
        if (u) {
            u->currAllocator = const_cast<CountingAllocator*>(this);
            if (!data) add(u->size, +1);
        }
        return u;
    }
    bool allocate(cv::UMatData* u, cv::AccessFlag flags, cv::UMatUsageFlags usage) const override
    {
        return m_std->allocate(u, flags, usage);
    }
    void deallocate(cv::UMatData* u) const override
    {
        if (u && !(u->flags & cv::UMatData::USER_ALLOCATED)) add(u->size, -1);
        m_std->deallocate(u);
    }

    void reset() const
    {
        m_peakBytes = m_bytes.load();
        m_peakBuffers = m_buffers.load();
    }
    size_t peakBytes() const { return m_peakBytes; }
    int peakBuffers() const { return m_peakBuffers; }

private:
    void add(size_t size, int sign) const
    {
        m_bytes += sign > 0 ? static_cast<long>(size) : -static_cast<long>(size);
        if (size >= m_fullSize) m_buffers += sign;
        m_peakBytes = std::max<size_t>(m_peakBytes, m_bytes.load());
        m_peakBuffers = std::max(m_peakBuffers, m_buffers.load());
    }

    cv::MatAllocator* m_std = cv::Mat::getStdAllocator();
    size_t m_fullSize;
    mutable std::atomic<long> m_bytes{0};
    mutable std::atomic<int> m_buffers{0};
    mutable size_t m_peakBytes = 0;
    mutable int m_peakBuffers = 0;
};

// Picture memory of one photo-to-cut run, the caller's photo included: "peak_MB" and
// "peak_buffers" (the most matrices of one photo's grey size or more alive at once).
void BM_PhotoToCutPeakMemory(benchmark::State& state)
{
    const std::string out = workDir() + "/cut-mem.jpg";
    CImgHelp* img = CImgHelp::Instance();
    img->setOutputSettings(kJpegQuality, 235, kCutEzh);
    const size_t greyPhoto = static_cast<size_t>(stampctl::sim::kPhotoWidth) * stampctl::sim::kPhotoHeight;
    static CountingAllocator counter(greyPhoto);
    cv::MatAllocator* previous = cv::Mat::getDefaultAllocator();
    turnedPhoto();  // made outside the count
    CutResult cut;
    for (auto _ : state) {
        state.PauseTiming();
        cut = CutResult{};
        cv::Mat::setDefaultAllocator(&counter);
        const cv::Mat photo = turnedPhoto().clone();  // counted: the photo is one of the buffers
        counter.reset();
        state.ResumeTiming();
        img->AutoCutPaperByImg(photo, "bench", out.c_str(), nullptr, 0, 0, cut);
        state.PauseTiming();
        cv::Mat::setDefaultAllocator(previous);
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = static_cast<double>(counter.peakBytes()) / (1024.0 * 1024.0);
    state.counters["peak_buffers"] = counter.peakBuffers();
    state.counters["photo_MB"] = static_cast<double>(greyPhoto * 3) / (1024.0 * 1024.0);
}
BENCHMARK(BM_PhotoToCutPeakMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
