// Whether what the edge scan found can be the sheet at all. A board lighter than the threshold
// lets the scan stop at a ruled line inside the sheet or at the photo's own edge, and what it
// returns then looks like a rectangle but is not the sheet.
#include <algorithm>
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

int coordinateOf(const cv::Point& p, BORDER br)
{
    return br == BORDER_LEFT || br == BORDER_RIGHT ? p.x : p.y;
}

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

unsigned long CImgHelp::OtsuLevel(const cv::Mat& photo)
{
    cv::Mat grey;
    if (photo.channels() == 3)
        cv::cvtColor(photo, grey, cv::COLOR_BGR2GRAY);
    else
        grey = photo;
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
