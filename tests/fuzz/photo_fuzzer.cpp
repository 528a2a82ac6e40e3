// The photo pipeline on arbitrary small pictures: finding, straightening and cutting the sheet,
// the blank-area check on the cut, and the circle search on its grey picture.
//
// The input's back end gives the picture's shape (up to 320 x 320, 1 to 4 channels, any depth)
// and the settings; its front end the pixels, repeated to fill the picture. A picture the image
// library refuses with an exception ends the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "stampctl/imaging/img_help.h"
#include "tests/fuzz/fuzz_support.h"

using namespace stampctl;

namespace {

constexpr int kMaxSide = 320;
constexpr int kMaxChannels = 4;
constexpr int kBoxMax = 200;
// The circle search gets one cell of the picture: a whole picture costs the Hough transform
// twenty times as much and finds nothing the smaller cell does not.
constexpr int kCellSide = 96;

cv::Mat pictureFrom(FuzzedDataProvider& in)
{
    const int rows = in.ConsumeIntegralInRange(1, kMaxSide);
    const int cols = in.ConsumeIntegralInRange(1, kMaxSide);
    const int channels = in.ConsumeIntegralInRange(1, kMaxChannels);
    const int depth = in.PickValueInArray({CV_8U, CV_8S, CV_16U, CV_16S, CV_32S, CV_32F, CV_64F});
    cv::Mat picture(rows, cols, CV_MAKETYPE(depth, channels), cv::Scalar::all(0));
    // Filled below from what the rest of the input gives, repeated.
    const std::vector<uint8_t> pixels = in.ConsumeRemainingBytes<uint8_t>();
    if (!pixels.empty()) {
        const size_t total = picture.total() * picture.elemSize();
        for (size_t done = 0; done < total; done += pixels.size())
            std::memcpy(picture.data + done, pixels.data(), std::min(pixels.size(), total - done));
    }
    return picture;
}

// The cut picture as the circle search gets it: one 8-bit channel.
cv::Mat greyOf(const cv::Mat& picture)
{
    cv::Mat grey;
    if (picture.channels() == 3)
        cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
    else if (picture.channels() == 1)
        grey = picture;
    if (!grey.empty() && grey.depth() != CV_8U) grey.convertTo(grey, CV_8U);
    return grey;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ScratchBase& base = fuzz::scratch();
    base.nextRun();
    FuzzedDataProvider in(data, size);
    CImgHelp* img = CImgHelp::Instance();
    img->setOutputSettings(80, 235, in.ConsumeIntegralInRange(0, 255));
    const auto margin = in.ConsumeIntegralInRange<int16_t>(-50, 200);
    const int boxX = in.ConsumeIntegralInRange(-10, kMaxSide), boxY = in.ConsumeIntegralInRange(-10, kMaxSide);
    const int boxW = in.ConsumeIntegralInRange(0, kBoxMax), boxH = in.ConsumeIntegralInRange(0, kBoxMax);
    const float rate = in.ConsumeFloatingPointInRange(0.0f, 1.0f);
    const cv::Mat picture = pictureFrom(in);

    CutResult cut;
    const std::string out = base.file("cut/fuzz.jpg");
    // A picture the image library refuses with an exception is reported by the exports as a
    // failure (the photo call's "not written", the guard's -602), never a crash.
    try {
        img->AutoCutPaperByImg(picture, "fuzz", out.c_str(), nullptr, margin, 0, cut);
        CImgHelp::IsWhitePaper(cut, boxX, boxY, boxW, boxH, rate);
        const cv::Mat grey = greyOf(cut.picture);
        TCircle circle{};
        if (!grey.empty())
            CImgHelp::FindCircle(grey(cv::Rect(0, 0, std::min(grey.cols, kCellSide), std::min(grey.rows, kCellSide))),
                                 circle);
    } catch (const cv::Exception&) {
    }
    return 0;
}
