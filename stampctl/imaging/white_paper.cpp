// Whether a box of a cut picture holds print.
#include <opencv2/imgproc.hpp>

#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"

namespace {

constexpr double kInkLevel = 100;    // grey at or below this is ink
constexpr double kWhiteValue = 250;  // what a bright pixel becomes
constexpr int kMarks = 1;
constexpr int kBlank = 0;
constexpr int kCannotTell = 2;

}  // namespace

int CImgHelp::IsWhitePaper(const CutResult& cut, int x, int y, int width, int height, float rate)
{
    const cv::Mat& picture = cut.picture;
    if (!picture.data || picture.total() == 0) {
        TrcWritef(stampctl::kTraceInfo, "IsWhitePaper m_MatCutPic.empty");
        return kCannotTell;
    }
    cv::Mat grey;
    if (picture.channels() == 3)
        cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
    else
        grey = picture;

    // An empty box tells nothing; 64-bit sums so that no far-off box wraps into the picture.
    if (width <= 0 || height <= 0 || x < 0 || y < 0 || static_cast<int64_t>(x) + width > grey.cols ||
        static_cast<int64_t>(y) + height > grey.rows)
        return kCannotTell;

    // Into a picture of its own: `grey` may be the shared cut picture itself.
    cv::Mat bin;
    cv::threshold(grey, bin, kInkLevel, kWhiteValue, cv::THRESH_BINARY);
    const cv::Mat box = bin(cv::Rect(x, y, width, height));
    const int ink = static_cast<int>(box.total()) - cv::countNonZero(box);
    const float share = static_cast<float>(static_cast<double>(ink) / (static_cast<double>(width) * height));
    const int result = share > rate ? kMarks : kBlank;
    TrcWritef(stampctl::kTraceInfo, "IsWhitePaper dPer:%f, return %d", share, result);
    return result;
}
