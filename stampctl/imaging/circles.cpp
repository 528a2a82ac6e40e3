// The calibration sheet's grid of stamped circles: the sheet is found in the photo, its inner
// area cut into cells, one circle searched per cell. Every step leaves a picture next to the
// photo, so that a failed calibration can be understood from the files alone.
#include <cstdio>
#include <string>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"
#include "stampctl/imaging/picture_file.h"

using stampctl::kTraceInfo;

namespace {

constexpr double kSheetLevel = 90;  // fixed: the calibration sheet is plain white paper
constexpr double kSheetValue = 100;
constexpr int kInnerMargin = 20;  // keeps the sheet's own edges out of the cells
constexpr size_t kCellNameSize = 256;
const cv::Point kNoCircle(-1, -1);
constexpr int kMaskGrowth = 9;  // pixels: 4 on each side of the board's edge

const char* orEmpty(const char* text) { return text ? text : ""; }

// The cell's file name, or empty when the photo's path leaves no room for it.
std::string cellFileName(const char* photo, int row, int col)
{
    char name[kCellNameSize];
    const int n = std::snprintf(name, sizeof name, "%s.bz_%d_%d.jpg", photo, row, col);
    return n > 0 && static_cast<size_t>(n) < sizeof name ? std::string(name) : std::string();
}

cv::Mat sheetThreshold(const cv::Mat& photo)
{
    cv::Mat bin;
    cv::cvtColor(photo, bin, cv::COLOR_BGR2GRAY);
    cv::threshold(bin, bin, kSheetLevel, kSheetValue, cv::THRESH_BINARY);
    return bin;
}

// The board: dark pixels joined to the photo's border, grown a little over the ringing that the
// cell files' compression leaves along the sheet's edge. A turned sheet leaves dark board corners
// inside the sheet's rectangle, and a rim search reaching them pulls the circle off; nothing on
// the sheet (circles, print) is joined to the border.
cv::Mat boardMask(const cv::Mat& bin)
{
    const cv::Mat dark = bin == 0;
    cv::Mat labels;
    const int count = cv::connectedComponents(dark, labels, 4, CV_32S);
    std::vector<uchar> joined(static_cast<size_t>(count), 0);
    const auto mark = [&](int x, int y) {
        if (dark.at<uchar>(y, x)) joined[static_cast<size_t>(labels.at<int>(y, x))] = 255;
    };
    for (int x = 0; x < bin.cols; ++x) mark(x, 0), mark(x, bin.rows - 1);
    for (int y = 0; y < bin.rows; ++y) mark(0, y), mark(bin.cols - 1, y);
    cv::Mat mask(bin.size(), CV_8UC1);
    for (int y = 0; y < bin.rows; ++y) {
        const int* label = labels.ptr<int>(y);
        uchar* out = mask.ptr<uchar>(y);
        for (int x = 0; x < bin.cols; ++x) out[x] = joined[static_cast<size_t>(label[x])];
    }
    cv::dilate(mask, mask, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(kMaskGrowth, kMaskGrowth)));
    return mask;
}

}  // namespace

bool CImgHelp::findSheet(const cv::Mat& bin, CutResult& sheet, const SheetSize& a4) const
{
    if (!MakePaperArea(bin, 0, sheet)) return false;
    // Circles found on what is not the sheet would calibrate the machine to nonsense.
    const std::string failure = SheetCheckFailure(sheet.paper, bin.size(), a4);
    if (failure.empty()) return true;
    TrcWritef(kTraceInfo, "FindCircleByPaper no sheet: %s", failure.c_str());
    return false;
}

std::vector<double> CImgHelp::InkAroundByPaper(const cv::Mat& photo, const std::vector<cv::Point>& centres, int radius,
                                               const SheetSize& a4) const
{
    if (photo.empty()) return {};
    const cv::Mat bin = sheetThreshold(photo);
    CutResult sheet;
    if (!findSheet(bin, sheet, a4)) return {};
    const cv::Mat board = boardMask(bin);
    std::vector<double> shares;
    for (const cv::Point& c : centres) {
        const cv::Rect box = ClipRoi(bin, cv::Rect(c.x - radius, c.y - radius, 2 * radius + 1, 2 * radius + 1));
        if (box.empty()) {
            shares.push_back(0.0);
            continue;
        }
        cv::Mat disc(box.size(), CV_8UC1, cv::Scalar(0));
        cv::circle(disc, c - box.tl(), radius, cv::Scalar(255), cv::FILLED);
        disc.setTo(0, board(box));  // only the sheet counts
        const double area = cv::countNonZero(disc);
        disc.setTo(0, bin(box));  // paper is not ink
        shares.push_back(area > 0 ? cv::countNonZero(disc) / area : 0.0);
    }
    return shares;
}

int CImgHelp::FindCircleByPaper(const char* szFile, int rows, int cols, std::vector<cv::Point>& points,
                                CutResult& sheet, const SheetSize& a4) const
{
    return FindCircleByPaper(stampctl::imaging::readPicture(orEmpty(szFile), cv::IMREAD_COLOR), szFile, rows, cols,
                             points, sheet, a4);
}

int CImgHelp::FindCircleByPaper(const cv::Mat& sheetPhoto, const char* szFile, int rows, int cols,
                                std::vector<cv::Point>& points, CutResult& sheet, const SheetSize& a4) const
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

    cv::Mat photo = sheetPhoto.clone();  // the found circles are drawn on it
    if (photo.empty()) {
        TrcWritef(kTraceInfo, "imread src is NULL(szFile:%s)", file);
        return 0;
    }
    const std::string base(file);
    const std::string resFile = base + ".res.jpg";
    const std::string innerFile = base + ".bz.jpg";
    cv::Mat grid;
    cv::Mat board;
    {
        const cv::Mat bin = sheetThreshold(photo);
        if (!findSheet(bin, sheet, a4)) {
            stampctl::imaging::writePicture(resFile, photo);
            return 0;
        }
        board = boardMask(bin);
        const cv::Rect whole = ClipRoi(bin, sheet.paper);
        const cv::Rect inner =
            ClipRoi(bin, cv::Rect(sheet.paper.x + kInnerMargin, sheet.paper.y + kInnerMargin,
                                  sheet.paper.width - 2 * kInnerMargin, sheet.paper.height - 2 * kInnerMargin));
        if (!whole.empty()) stampctl::imaging::writePicture(base + ".cjbz.jpg", bin(whole));
        // A sheet too small for an inner area leaves nothing to search.
        if (!inner.empty()) {
            grid = bin(inner);
            stampctl::imaging::writePicture(innerFile, grid);
        }
    }

    if (grid.empty()) {
        TrcWritef(kTraceInfo, "imread is NULL(szTemp:%s)", innerFile.c_str());
        return 0;
    }
    const int cellW = grid.cols / cols;
    const int cellH = grid.rows / rows;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const cv::Rect cell = ClipRoi(grid, cv::Rect(c * cellW, r * cellH, cellW, cellH));
            const std::string cellFile = cellFileName(file, r, c);
            cv::Mat cellPic;
            if (!cell.empty()) {
                cellPic = grid(cell).clone();
                if (!cellFile.empty()) stampctl::imaging::writePicture(cellFile, cellPic);
            }
            const cv::Rect inPhoto = cell + cv::Point(sheet.paper.x + kInnerMargin, sheet.paper.y + kInnerMargin);
            if (!cellPic.empty() && cellPic.size() == inPhoto.size() && ClipRoi(board, inPhoto) == inPhoto)
                cellPic.setTo(kSheetValue, board(inPhoto));
            TCircle found{};
            if (cellPic.empty() || FindCircle(cellPic, found)) {
                points.push_back(kNoCircle);
                continue;
            }
            if (!cellFile.empty()) {
                cv::Mat shown;
                cv::cvtColor(grid(cell), shown, cv::COLOR_GRAY2BGR);
                DrawCircle(shown, found);
                stampctl::imaging::writePicture(cellFile, shown);
            }
            const float offX = static_cast<float>(cell.x + sheet.paper.x + kInnerMargin);
            const float offY = static_cast<float>(cell.y + sheet.paper.y + kInnerMargin);
            const cv::Point centre(static_cast<int>(offX + found.x), static_cast<int>(offY + found.y));
            points.push_back(centre);
            DrawCircle(photo, TCircle{static_cast<float>(centre.x), static_cast<float>(centre.y), found.r});
            ++count;
        }
    }
    stampctl::imaging::writePicture(resFile, photo);
    log.SetRet("return %d", count);
    return count;
}
