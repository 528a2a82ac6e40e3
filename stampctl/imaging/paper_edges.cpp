// The edge scan: from each image edge inwards, the last board pixel before the first run of
// paper pixels on every tenth row or column.
#include <algorithm>

#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"

namespace {

constexpr int kScanStep = 10;
constexpr int kPaperLevel = 64;  // thresholded pixels above this are paper
constexpr int kPaperRun = 30;    // paper pixels in a row that make a sheet
constexpr int kWindowMargin = 30;

// Walks `count` pixels from the image edge inwards (pixel(i), i = 0 first) and returns the index
// of the board pixel that is followed by a run of paper, kNoEdge when the line crossed board but
// no sheet, kAllPaper when it met no board at all.
constexpr int kNoEdge = -1;
constexpr int kAllPaper = -2;

template <class Pixel>
int scanLine(int count, Pixel pixel)
{
    int lastBoard = kAllPaper;
    int run = 0;
    for (int i = 0; i < count; ++i) {
        if (pixel(i) > kPaperLevel) {
            if (lastBoard >= 0 && ++run == kPaperRun) return lastBoard;
        } else {
            lastBoard = i;
            run = 0;
        }
    }
    return lastBoard == kAllPaper ? kAllPaper : kNoEdge;
}

// Pixels scanned from the near edge: about three quarters of `extent`, never past the picture.
int leadingWindow(int extent) { return std::clamp(extent / 4 + extent / 2 - kWindowMargin, 0, extent); }
int trailingWindow(int extent)
{
    const int stopBefore = std::max(extent / 2 - extent / 4 - kWindowMargin, -1);
    return std::max(extent - 1 - stopBefore, 0);
}

void scanBorder(const cv::Mat& bin, int step, BORDER br, std::vector<cv::Point>& edge)
{
    const int w = bin.cols;
    const int h = bin.rows;
    const bool alongRows = br == BORDER_LEFT || br == BORDER_RIGHT;
    const bool fromFar = br == BORDER_RIGHT || br == BORDER_BOTTOM;
    const int extent = alongRows ? w : h;
    const int lines = alongRows ? h : w;
    const int count = fromFar ? trailingWindow(extent) : leadingWindow(extent);

    for (int line = 0; line < lines; line += step) {
        // Distance i from the image edge to the coordinate along the scan.
        auto coord = [&](int i) { return fromFar ? extent - 1 - i : i; };
        int found;
        if (alongRows) {
            const uchar* row = bin.ptr<uchar>(line);
            found = scanLine(count, [&](int i) { return row[coord(i)]; });
        } else {
            found = scanLine(count, [&](int i) { return bin.at<uchar>(coord(i), line); });
        }
        if (found == kNoEdge) continue;
        const int at = found == kAllPaper ? coord(0) : coord(found);
        edge.push_back(alongRows ? cv::Point(at, line) : cv::Point(line, at));
    }
}

}  // namespace

bool CImgHelp::FindOneLineByPaper(const cv::Mat& bin, int step, BORDER br,
                                  std::vector<cv::Point>& edge, std::vector<cv::Point>& effect,
                                  cv::Vec4f& line, double& deviation, double& rotAngle,
                                  double& lineAngle) const
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "FindOneLineByPaper step=%d,br=%d，w:%d, h:%d", step,
                  static_cast<int>(br), bin.cols, bin.rows);
    edge.clear();
    effect.clear();
    if (br < BORDER_LEFT || br > BORDER_BOTTOM || step < 1 || bin.empty()) {
        log.SetRet("return :%d", 0);
        return false;
    }
    CV_Assert(bin.type() == CV_8UC1);

    scanBorder(bin, step, br, edge);
    const bool vertical = br == BORDER_LEFT || br == BORDER_RIGHT;
    FindEffectDot(step, edge, effect, line, deviation, rotAngle, vertical, lineAngle);

    const bool ret = !effect.empty() || !edge.empty();
    log.SetRet("return :%d", ret);
    return ret;
}

BorderLine CImgHelp::FindBorder(const cv::Mat& bin, BORDER br) const
{
    BorderLine b;
    b.found = FindOneLineByPaper(bin, kScanStep, br, b.edge, b.effect, b.line, b.deviation,
                                 b.rotAngle, b.lineAngle);
    b.frame = b.found && IsFrameLine(b, br, bin.size());
    return b;
}
