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

void scanBorder(const ScanLines& lines, BORDER br, std::vector<cv::Point>& edge)
{
    const bool alongRows = br == BORDER_LEFT || br == BORDER_RIGHT;
    const bool fromFar = br == BORDER_RIGHT || br == BORDER_BOTTOM;
    const int extent = alongRows ? lines.size.width : lines.size.height;
    const int count = fromFar ? trailingWindow(extent) : leadingWindow(extent);
    const cv::Mat& scans = alongRows ? lines.rows : lines.columns;

    for (int k = 0; k < scans.rows; ++k) {
        const int line = k * lines.step;
        // Distance i from the image edge to the coordinate along the scan.
        auto coord = [&](int i) { return fromFar ? extent - 1 - i : i; };
        const uchar* pixels = scans.ptr<uchar>(k);
        const int found = scanLine(count, [&](int i) { return pixels[coord(i)]; });
        if (found == kNoEdge) continue;
        const int at = found == kAllPaper ? coord(0) : coord(found);
        edge.push_back(alongRows ? cv::Point(at, line) : cv::Point(line, at));
    }
}

int scanLineCount(int extent, int step) { return (extent + step - 1) / step; }

}  // namespace

ScanLines ScanLines::Of(const cv::Mat& bin, int step)
{
    CV_Assert(bin.type() == CV_8UC1 && step >= 1);
    ScanLines lines{bin.size(), step, cv::Mat(scanLineCount(bin.rows, step), bin.cols, CV_8UC1),
                    cv::Mat(scanLineCount(bin.cols, step), bin.rows, CV_8UC1)};
    for (int k = 0; k < lines.rows.rows; ++k) bin.row(k * step).copyTo(lines.rows.row(k));
    for (int y = 0; y < bin.rows; ++y) {
        const uchar* row = bin.ptr<uchar>(y);
        for (int k = 0; k < lines.columns.rows; ++k) lines.columns.at<uchar>(k, y) = row[k * step];
    }
    return lines;
}

bool CImgHelp::FindOneLineByPaper(const cv::Mat& bin, int step, BORDER br, std::vector<cv::Point>& edge,
                                  std::vector<cv::Point>& effect, cv::Vec4f& line, double& deviation, double& rotAngle,
                                  double& lineAngle) const
{
    if (br < BORDER_LEFT || br > BORDER_BOTTOM || step < 1 || bin.empty()) {
        TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "FindOneLineByPaper step=%d,br=%d，w:%d, h:%d", step,
                      static_cast<int>(br), bin.cols, bin.rows);
        edge.clear();
        effect.clear();
        log.SetRet("return :%d", 0);
        return false;
    }
    return FindOneLineByPaper(ScanLines::Of(bin, step), br, edge, effect, line, deviation, rotAngle, lineAngle);
}

bool CImgHelp::FindOneLineByPaper(const ScanLines& lines, BORDER br, std::vector<cv::Point>& edge,
                                  std::vector<cv::Point>& effect, cv::Vec4f& line, double& deviation, double& rotAngle,
                                  double& lineAngle) const
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "FindOneLineByPaper step=%d,br=%d，w:%d, h:%d", lines.step,
                  static_cast<int>(br), lines.size.width, lines.size.height);
    edge.clear();
    effect.clear();
    if (br < BORDER_LEFT || br > BORDER_BOTTOM || lines.step < 1 || lines.size.empty()) {
        log.SetRet("return :%d", 0);
        return false;
    }

    scanBorder(lines, br, edge);
    const bool vertical = br == BORDER_LEFT || br == BORDER_RIGHT;
    FindEffectDot(lines.step, edge, effect, line, deviation, rotAngle, vertical, lineAngle);

    const bool ret = !effect.empty() || !edge.empty();
    log.SetRet("return :%d", ret);
    return ret;
}

BorderLine CImgHelp::FindBorder(const cv::Mat& bin, BORDER br) const
{
    return FindBorder(ScanLines::Of(bin, kScanStep), br);
}

BorderLine CImgHelp::FindBorder(const ScanLines& lines, BORDER br) const
{
    BorderLine b;
    b.found = FindOneLineByPaper(lines, br, b.edge, b.effect, b.line, b.deviation, b.rotAngle, b.lineAngle);
    b.frame = b.found && IsFrameLine(b, br, lines.size);
    return b;
}
