// The calibration sheet's grid of stamped circles: the sheet is found in the photo, its inner
// area cut into cells, one circle searched per cell. Every step leaves a picture next to the
// photo, so that a failed calibration can be understood from the files alone.
#include <cstdio>
#include <string>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"

using stampctl::kTraceInfo;

namespace {

constexpr double kSheetLevel = 90;  // fixed: the calibration sheet is plain white paper
constexpr double kSheetValue = 100;
constexpr int kInnerMargin = 20;    // keeps the sheet's own edges out of the cells
constexpr size_t kCellNameSize = 256;
const cv::Point kNoCircle(-1, -1);

const char* orEmpty(const char* text) { return text ? text : ""; }

// The cell's file name, or empty when the photo's path leaves no room for it.
std::string cellFileName(const char* photo, int row, int col)
{
    char name[kCellNameSize];
    const int n = std::snprintf(name, sizeof name, "%s.bz_%d_%d.jpg", photo, row, col);
    return n > 0 && static_cast<size_t>(n) < sizeof name ? std::string(name) : std::string();
}

}  // namespace

int CImgHelp::FindCircleByPaper(const char* szFile, int rows, int cols, std::vector<cv::Point>& points)
{
    const char* file = orEmpty(szFile);
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "FindCircleByPaper szFile:%s", file);
    points.clear();
    int count = 0;
    log.SetRet("return %d", count);
    // The cell size divides by both; a grid without cells is refused before anything is read
    // or overwritten.
    if (rows < 1 || cols < 1) {
        TrcWritef(kTraceInfo, "FindCircleByPaper no grid (rows:%d, cols:%d)", rows, cols);
        return 0;
    }

    cv::Mat photo = cv::imread(file, cv::IMREAD_COLOR);
    if (photo.empty()) {
        TrcWritef(kTraceInfo, "cvLoadImage src is NULL(szFile:%s)", file);
        return 0;
    }
    const std::string base(file);
    const std::string resFile = base + ".res.jpg";
    const std::string innerFile = base + ".bz.jpg";
    bool innerWritten = false;
    {
        cv::Mat bin;
        cv::cvtColor(photo, bin, cv::COLOR_BGR2GRAY);
        cv::threshold(bin, bin, kSheetLevel, kSheetValue, cv::THRESH_BINARY);
        if (!MakePaperArea(bin, 0)) {
            cv::imwrite(resFile, photo);
            return 0;
        }
        const cv::Rect sheet = ClipRoi(bin, cv::Rect(iCutXmin, iCutYmin, iPixelX, iPixelY));
        const cv::Rect inner = ClipRoi(bin, cv::Rect(iCutXmin + kInnerMargin, iCutYmin + kInnerMargin,
                                                     iPixelX - 2 * kInnerMargin, iPixelY - 2 * kInnerMargin));
        if (!sheet.empty()) cv::imwrite(base + ".cjbz.jpg", bin(sheet));
        // A sheet too small for an inner area, or a picture that could not be written, leaves
        // nothing to search: an earlier run's file must not stand in for it.
        innerWritten = !inner.empty() && cv::imwrite(innerFile, bin(inner));
    }

    const cv::Mat grid = innerWritten ? cv::imread(innerFile, cv::IMREAD_GRAYSCALE) : cv::Mat();
    if (grid.empty()) {
        TrcWritef(kTraceInfo, "cvLoadImage is NULL(szTemp:%s)", innerFile.c_str());
        return 0;
    }
    const int cellW = grid.cols / cols;
    const int cellH = grid.rows / rows;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const cv::Rect cell = ClipRoi(grid, cv::Rect(c * cellW, r * cellH, cellW, cellH));
            const std::string cellFile = cellFileName(file, r, c);
            cv::Mat cellPic;
            if (!cellFile.empty() && !cell.empty() && cv::imwrite(cellFile, grid(cell)))
                cellPic = cv::imread(cellFile, cv::IMREAD_GRAYSCALE);
            TCircle found{};
            if (cellPic.empty() || FindCircle(cellPic, found)) {
                points.push_back(kNoCircle);
                continue;
            }
            cv::Mat shown = cv::imread(cellFile, cv::IMREAD_COLOR);
            if (!shown.empty()) {
                DrawCircle(shown, found);
                cv::imwrite(cellFile, shown);
            }
            const float offX = static_cast<float>(cell.x + iCutXmin + kInnerMargin);
            const float offY = static_cast<float>(cell.y + iCutYmin + kInnerMargin);
            const cv::Point centre(static_cast<int>(offX + found.x), static_cast<int>(offY + found.y));
            points.push_back(centre);
            DrawCircle(photo, TCircle{static_cast<float>(centre.x), static_cast<float>(centre.y), found.r});
            ++count;
        }
    }
    cv::imwrite(resFile, photo);
    log.SetRet("return %d", count);
    return count;
}
