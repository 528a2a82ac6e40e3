// Whether what the edge scan found can be the sheet at all. A board lighter than the threshold
// lets the scan stop at a ruled line inside the sheet or at the photo's own edge, and what it
// returns then looks like a rectangle but is not the sheet.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include <opencv2/imgproc.hpp>

#include "stampctl/imaging/img_help.h"

namespace {

// Measured on the synthetic photos: a sheet found on a dark board is at most 0.15 % larger than
// A4 (turned up to 5 degrees, thresholds 60 to 200); a board just above the threshold (grey 64 to
// 120 against 60) gives the whole photo, 19 % too long and 26 % too high. 3 % leaves room for a
// camera a little lower than the one the sheet size was measured with.
constexpr double kMaxOversize = 1.03;
// Smaller sheets are allowed (a note, a receipt); a side below a third of A4 is a fragment.
constexpr double kMinShare = 1.0 / 3.0;
// A side this close to the picture's edge lies along it.
constexpr int kFrameReach = 3;
// An edge with this share of its fitted points on the photo's border is the frame. Measured: a
// sheet edge clear of the border has none there; a top edge crossing the photo's top (sheets
// turned 1 to 2 degrees) had 30 % to 100 %, and its fit a turn 0.4 to 1 degree short.
constexpr double kFrameShare = 0.3;

// How far a side may have moved: a soft shadow's rim or a blurred edge, a few millimetres.
constexpr int kRefineReach = 60;
// The share of a side's length looked at, away from the corners.
constexpr int kRefineInsetTenths = 1;

// The index i of the steepest rise from p[i] to p[i + 1] (`rising`) or fall.
int steepestStep(const cv::Mat& profile, bool rising)
{
    const float* p = profile.ptr<float>();
    const int n = static_cast<int>(profile.total());
    int best = 0;
    float bestStep = -1e30f;
    for (int i = 0; i + 1 < n; ++i) {
        const float step = rising ? p[i + 1] - p[i] : p[i] - p[i + 1];
        if (step > bestStep) {
            bestStep = step;
            best = i;
        }
    }
    return best;
}

int coordinateOf(const cv::Point& p, BORDER br) { return br == BORDER_LEFT || br == BORDER_RIGHT ? p.x : p.y; }

// How far a coordinate lies from the picture's edge on the border's side.
int fromOwnEdge(int coordinate, BORDER br, cv::Size picture)
{
    switch (br) {
    case BORDER_LEFT: return coordinate;
    case BORDER_TOP: return coordinate;
    case BORDER_RIGHT: return picture.width - 1 - coordinate;
    default: return picture.height - 1 - coordinate;
    }
}

std::string describe(const char* format, int a, int b)
{
    char text[128];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

std::string CImgHelp::SheetCheckFailure(const cv::Rect& paper, cv::Size picture, const SheetSize& a4)
{
    const int longSide = std::max(paper.width, paper.height);
    const int shortSide = std::min(paper.width, paper.height);
    if (longSide > a4.longSide * kMaxOversize)
        return describe("long side %d beyond A4 %d + 3%%", longSide, a4.longSide);
    if (shortSide > a4.shortSide * kMaxOversize)
        return describe("short side %d beyond A4 %d + 3%%", shortSide, a4.shortSide);
    if (longSide < a4.longSide * kMinShare)
        return describe("long side %d below a third of A4 %d", longSide, a4.longSide);
    if (shortSide < a4.shortSide * kMinShare)
        return describe("short side %d below a third of A4 %d", shortSide, a4.shortSide);
    const bool alongAll = paper.x <= kFrameReach && paper.y <= kFrameReach &&
                          paper.x + paper.width >= picture.width - 1 - kFrameReach &&
                          paper.y + paper.height >= picture.height - 1 - kFrameReach;
    if (alongAll) return describe("all four sides on the photo's border (%d x %d)", picture.width, picture.height);
    return {};
}

double CImgHelp::SheetMisfit(const cv::Rect& paper, const SheetSize& a4)
{
    const int longSide = std::max(paper.width, paper.height);
    const int shortSide = std::min(paper.width, paper.height);
    return std::max(std::abs(longSide / double(a4.longSide) - 1), std::abs(shortSide / double(a4.shortSide) - 1));
}

void CImgHelp::RefineToEdges(const std::function<cv::Mat(const cv::Rect&)>& greyAt, cv::Size picture, cv::Rect& paper)
{
    const int left = paper.x, top = paper.y, right = paper.x + paper.width, bottom = paper.y + paper.height;
    const int insetX = paper.width * kRefineInsetTenths / 10, insetY = paper.height * kRefineInsetTenths / 10;
    // The mean grey across the side's band, as a profile from outside in (columns or rows).
    const auto profile = [&](cv::Rect band, bool alongX, int& start) {
        band = ClipRoi(picture, band);
        start = alongX ? band.x : band.y;
        if (band.width < 2 || band.height < 2) return cv::Mat();
        cv::Mat mean;
        cv::reduce(greyAt(band), mean, alongX ? 0 : 1, cv::REDUCE_AVG, CV_32F);
        return mean;
    };
    int start = 0;
    cv::Rect found = paper;
    cv::Mat p =
        profile({left - kRefineReach, top + insetY, 2 * kRefineReach + 1, paper.height - 2 * insetY}, true, start);
    const int newLeft = p.empty() ? left : start + steepestStep(p, true);
    p = profile({right - kRefineReach, top + insetY, 2 * kRefineReach + 1, paper.height - 2 * insetY}, true, start);
    const int newRight = p.empty() ? right : start + steepestStep(p, false) + 1;
    p = profile({left + insetX, top - kRefineReach, paper.width - 2 * insetX, 2 * kRefineReach + 1}, false, start);
    const int newTop = p.empty() ? top : start + steepestStep(p, true);
    p = profile({left + insetX, bottom - kRefineReach, paper.width - 2 * insetX, 2 * kRefineReach + 1}, false, start);
    const int newBottom = p.empty() ? bottom : start + steepestStep(p, false) + 1;
    if (newRight > newLeft && newBottom > newTop)
        found = cv::Rect(newLeft, newTop, newRight - newLeft, newBottom - newTop);
    paper = found;
}

unsigned long CImgHelp::DarkOtsuLevel(const cv::Mat& photo, unsigned long otsu)
{
    const cv::Mat grey = MakeGrey(photo);
    double hist[256] = {};
    for (int y = 0; y < grey.rows; ++y) {
        const uchar* row = grey.ptr<uchar>(y);
        for (int x = 0; x < grey.cols; ++x)
            if (row[x] <= otsu) ++hist[row[x]];
    }
    // Otsu's split of the darker class: the level that keeps the two parts' means furthest apart.
    double total = 0, sum = 0;
    for (int v = 0; v < 256; ++v) total += hist[v], sum += v * hist[v];
    double below = 0, belowSum = 0, best = -1;
    unsigned long level = otsu;
    for (int v = 0; v < 256; ++v) {
        below += hist[v];
        belowSum += v * hist[v];
        const double above = total - below;
        if (below == 0 || above == 0) continue;
        const double d = belowSum / below - (sum - belowSum) / above;
        const double between = below * above * d * d;
        if (between > best) {
            best = between;
            level = static_cast<unsigned long>(v);
        }
    }
    return level;
}

unsigned long CImgHelp::OtsuLevel(const cv::Mat& photo)
{
    const cv::Mat grey = MakeGrey(photo);
    cv::Mat ignored;
    return static_cast<unsigned long>(cv::threshold(grey, ignored, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU));
}

bool CImgHelp::IsFrameLine(const BorderLine& line, BORDER br, cv::Size picture)
{
    if (line.effect.empty()) return false;
    const auto onEdge = std::count_if(line.effect.begin(), line.effect.end(), [&](const cv::Point& p) {
        return fromOwnEdge(coordinateOf(p, br), br, picture) <= kFrameReach;
    });
    return onEdge >= kFrameShare * static_cast<double>(line.effect.size());
}
