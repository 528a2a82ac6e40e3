// Cropping the straightened photo to the sheet, and the picture-file helpers.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"
#include "stampctl/imaging/picture_file.h"

using stampctl::kTraceInfo;

namespace {

constexpr double kA4MinShare = 0.9;  // a cut picture within 10 % of the sheet size is a sheet
constexpr double kA4MaxShare = 1.1;
constexpr double kPi = 3.14159265358979323846;
constexpr int kScanStep = 10;     // the edge scan reads every tenth row and column
constexpr int kCornerMargin = 5;  // pixels: a corner this close to the photo's edge lies on it
// A found sheet between these shares over A4 is measured again at its edges. Ordinary photos
// stay below the first (sheets on a dark board measured at most 0.15 % over A4, and the simulated
// machine's 1.1 % over the A4 its record holds); beyond the second what was found is not the
// sheet's outline (the whole photo is 19 % too long).
constexpr double kRefineAbove = 1.02;
constexpr double kRefinableOversize = 1.10;

double oversize(const cv::Rect& paper, const SheetSize& a4)
{
    return std::max(std::max(paper.width, paper.height) / double(a4.longSide),
                    std::min(paper.width, paper.height) / double(a4.shortSide));
}

const char* orEmpty(const char* text) { return text ? text : ""; }

}  // namespace

void CImgHelp::SavePic(const char* path, const cv::Mat& img, int quality)
{
    std::vector<int> params;
    if (quality >= 1) params = {cv::IMWRITE_JPEG_QUALITY, quality};
    // A file that was not written (no such folder, no permission, a full disk) is as much a
    // failure as a picture the writer cannot handle: both raise, and the caller reports it.
    if (!stampctl::imaging::writePicture(orEmpty(path), img, params))
        throw cv::Exception(cv::Error::StsError, "picture not written", __func__, __FILE__, __LINE__);
}

// One threshold's look at the photo: the turn, the sheet and how well it fits A4. The pixels of
// the straightened photo are made only where they are needed: the scan lines of the search and,
// once the threshold is chosen, the sheet itself.
struct CImgHelp::Attempt {
    unsigned long level = 0;
    CutResult cut;
    TurnPlan plan;
    cv::Size straightSize;
    cv::Size photoSize;
    std::string failure;  // empty: the sheet passes the check
    double misfit = HUGE_VAL;

    // The straightened photo's pixels in `window` (clipped to it by the caller); a sheet seen at a
    // slant is the whole window, mapped from its corners.
    cv::Mat straightWindow(const cv::Mat& src, const cv::Rect& window) const
    {
        if (cut.perspective) {
            cv::Mat out;
            cv::warpPerspective(src, out, cv::Mat(cut.toPhoto), window.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                                cv::BORDER_CONSTANT, cv::Scalar::all(0));
            return out;
        }
        return cut.rotated ? RotateWindow(src, plan, window) : src(window);
    }
};

CImgHelp::Attempt CImgHelp::cutAttempt(const cv::Mat& src, unsigned long level, int16_t ltrb_Pixel,
                                       const SheetSize& a4) const
{
    Attempt a;
    a.level = level;
    CutResult& cut = a.cut;
    ScanLines bin;
    {
        TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "AutoRotateByPaper");
        decideTurn(src, level, cut, bin);
        a.straightSize = src.size();
        a.photoSize = src.size();
        if (cut.rotated) {
            TrcWritef(kTraceInfo, "start rotate");
            a.plan = PlanRotate(src.size(), cut.rotateAngle);
            cut.rotDx = a.plan.dx;
            cut.rotDy = a.plan.dy;
            a.straightSize = a.plan.size;
            bin = RotatedScanThreshold(src, a.plan, level, kScanStep);
            TrcWritef(kTraceInfo, "end rotate");
        }
        log.SetRet("return:%d", cut.rotated);
    }
    std::array<BorderLine, 4> borders;
    cut.paperFound = MakePaperArea(bin, ltrb_Pixel, cut, &borders);
    if (!cut.paperFound) {
        a.failure = "no sheet edges";
        return a;
    }
    // A configured margin is a fixed window, not a detection: nothing to check.
    if (ltrb_Pixel >= 1) {
        a.failure.clear();
        a.misfit = 0;
        return a;
    }
    a.failure = SheetCheckFailure(cut.paper, a.straightSize, a4);
    const double over = oversize(cut.paper, a4);
    if (over > kRefineAbove && over <= kRefinableOversize) {
        // Blur or a soft shadow around the sheet moves a threshold's edge out by a few pixels:
        // the sheet's own edges are the steepest steps near the ones found.
        const cv::Rect before = cut.paper;
        RefineToEdges([&](const cv::Rect& band) { return MakeGrey(a.straightWindow(src, band)); }, a.straightSize,
                      cut.paper);
        TrcWritef(kTraceInfo, "AutoCutPaperByImg edges refined (%d, %d, %d, %d) -> (%d, %d, %d, %d)", before.x,
                  before.y, before.width, before.height, cut.paper.x, cut.paper.y, cut.paper.width, cut.paper.height);
        a.failure = SheetCheckFailure(cut.paper, a.straightSize, a4);
    }
    a.misfit = SheetMisfit(cut.paper, a4);
    if (a.failure.empty()) straightenSlant(a, borders);
    return a;
}

// A sheet that is no rectangle (a tilted camera) is mapped from its corners instead of turned.
void CImgHelp::straightenSlant(Attempt& a, const std::array<BorderLine, 4>& borders)
{
    // A sheet running off the photo shows the photo's edge for a border: no corner to map from.
    for (const BorderLine& b : borders)
        if (b.frame) return;
    std::array<cv::Point2d, 4> corners;
    if (!SheetCorners(borders, a.cut.paper, corners)) return;
    const double keystone = KeystoneShare(corners);
    a.cut.keystone = keystone;
    if (IsRectangle(keystone)) return;
    const double top = cv::norm(corners[1] - corners[0]), bottom = cv::norm(corners[2] - corners[3]);
    const double left = cv::norm(corners[3] - corners[0]), right = cv::norm(corners[2] - corners[1]);
    const cv::Size size(cvRound((top + bottom) / 2), cvRound((left + right) / 2));
    if (a.cut.rotated) {
        const float c = a.plan.c, s = a.plan.s;
        for (cv::Point2d& p : corners) p = cv::Point2d(p.x * c + p.y * s + a.plan.dx, -p.x * s + p.y * c + a.plan.dy);
    }
    // A corner on the photo's edge is where the sheet runs off it, not a corner of the sheet.
    const cv::Rect inside = cv::Rect(cv::Point(), a.photoSize) - cv::Size(2 * kCornerMargin, 2 * kCornerMargin) +
                            cv::Point(kCornerMargin, kCornerMargin);
    for (const cv::Point2d& p : corners)
        if (!inside.contains(cv::Point(cvFloor(p.x), cvFloor(p.y)))) return;
    CutResult& cut = a.cut;
    cut.perspective = true;
    cut.toPhoto = CutToPhoto(corners, size);
    cut.paper = cv::Rect(cv::Point(), size);
    // The sheet's turn: the mean direction of its top and bottom in the photo.
    const cv::Point2d along = (corners[1] - corners[0]) + (corners[2] - corners[3]);
    const double turn = -std::atan2(along.y, along.x);
    cut.rotateAngle = static_cast<float>(turn < 0 ? turn + 2 * kPi : turn);
    cut.rotated = false;
    TrcWritef(kTraceInfo,
              "AutoCutPaperByImg sheet is no rectangle (sides %.1f %%%s apart): straightened from its "
              "corners (%.0f,%.0f) (%.0f,%.0f) (%.0f,%.0f) (%.0f,%.0f)",
              keystone * 100, IsCorrectableTilt(keystone) ? "" : ", camera to be remounted", corners[0].x, corners[0].y,
              corners[1].x, corners[1].y, corners[2].x, corners[2].y, corners[3].x, corners[3].y);
}

bool CImgHelp::AutoCutPaperByImg(const cv::Mat& src, const char* name, const char* outPath, const char* outPath2,
                                 int16_t ltrb_Pixel, int quality, CutResult& cut, const SheetSize& a4) const
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CImgHelp::AutoCutPaperByImg ltrb_Pixel:%d", ltrb_Pixel);
    if (src.empty()) {
        log.SetRet("AutoCutPaperByImg isrc is NULL");
        return false;
    }
    (void)name;  // names the photo in the callers' traces only
    const OutputSettings settings = outputSettings();

    // The configured threshold first; when its sheet fails the check, the photo's own levels
    // (Otsu's, and the one that parts the board from paper in shadow), each taken only when its
    // sheet fits A4 at least as well as the configured threshold's.
    Attempt chosen = cutAttempt(src, settings.threshold, ltrb_Pixel, a4);
    const Attempt first = chosen;
    if (!first.failure.empty()) {
        const unsigned long otsu = OtsuLevel(src);
        for (const unsigned long level : {otsu, DarkOtsuLevel(src, otsu)}) {
            Attempt next = cutAttempt(src, level, ltrb_Pixel, a4);
            TrcWritef(kTraceInfo, "AutoCutPaperByImg threshold %lu: %s (misfit %.3f)", level,
                      next.failure.empty() ? "sheet" : next.failure.c_str(), next.misfit);
            if (next.failure.empty() && next.misfit <= first.misfit &&
                (!chosen.failure.empty() || next.misfit < chosen.misfit))
                chosen = std::move(next);
        }
    }
    if (chosen.failure.empty()) {
        TrcWritef(kTraceInfo, "AutoCutPaperByImg threshold:%lu (%s)", chosen.level,
                  chosen.level == settings.threshold && first.failure.empty() ? "CutEzh" : "Otsu");
    } else {
        TrcWritef(kTraceInfo, "AutoCutPaperByImg no sheet: CutEzh %lu: %s", settings.threshold, first.failure.c_str());
    }

    const int jpgQuality = quality == 0 ? settings.jpgQuality : quality;
    if (chosen.failure.empty()) {
        cut = chosen.cut;
        const cv::Rect roi = ClipRoi(chosen.straightSize, cut.paper);
        const cv::Mat picture = chosen.straightWindow(src, roi);
        if (outPath2) SavePic(outPath2, picture, 0);
        TrcWritef(kTraceInfo, "ClipRoi return");
        SavePic(outPath, picture, jpgQuality);
        TrcWritef(kTraceInfo, "SavePic return");
        // A turned or mapped window is a picture of its own; the photo's window is the caller's.
        cut.picture = cut.rotated || cut.perspective ? picture : picture.clone();
    } else {
        // Neither turn nor rectangle can be trusted: the photo itself is the picture, and its
        // pixels are the photo's own.
        cut = CutResult{};
        cut.paperWidth = SheetSize{}.longSide;
        cut.paperHeight = SheetSize{}.shortSide;
        cut.picture = src.clone();
        SavePic(outPath, cut.picture, jpgQuality);
        cut.paper = cv::Rect(0, 0, src.cols, src.rows);
    }
    log.SetRet("Return bl:%d", cut.paperFound);
    return cut.paperFound;
}

bool CImgHelp::AutoCutPaper(const char* srcPath, const char* outPath, int16_t ltrb_Pixel, CutResult& cut) const
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "AutoCutPaper");
    const cv::Mat photo = stampctl::imaging::readPicture(orEmpty(srcPath), cv::IMREAD_COLOR);
    if (photo.empty()) {
        log.SetRet("AutoCutPaper imread fail = %s", orEmpty(srcPath));
        return false;
    }
    const bool found = AutoCutPaperByImg(photo, srcPath, outPath, nullptr, ltrb_Pixel, 0, cut);
    log.SetRet("AutoCutPaper return = %d", found);
    return found;
}

void CImgHelp::revolveImg_90(const char* path)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "revolveImg_90, path:%s", orEmpty(path));
    const cv::Mat picture = stampctl::imaging::readPicture(orEmpty(path), cv::IMREAD_UNCHANGED);
    if (picture.empty()) {
        TrcWritef(kTraceInfo, "imread src is NULL(path:%s)", orEmpty(path));
        return;
    }
    SavePic(path, TurnQuarterLeft(picture), 0);
}

cv::Mat CImgHelp::TurnQuarterLeft(const cv::Mat& picture)
{
    cv::Mat turned;
    cv::transpose(picture, turned);
    cv::flip(turned, turned, 0);  // transposed and upside down: a quarter turn to the left
    return turned;
}

bool CImgHelp::IsA4JpgOk(const CutResult& cut, int width, int height)
{
    if (cut.paperWidth < 0) {
        TrcWritef(kTraceInfo, "IsA4JpgOk error m_PaperWidth:%d", cut.paperWidth);
        return true;
    }
    // A portrait sheet: the picture's width is the sheet's short side.
    const int wMin = static_cast<int>(cut.paperHeight * kA4MinShare);
    const int wMax = static_cast<int>(cut.paperHeight * kA4MaxShare);
    const int hMin = static_cast<int>(cut.paperWidth * kA4MinShare);
    const int hMax = static_cast<int>(cut.paperWidth * kA4MaxShare);
    if (width < wMin || width > wMax || height < hMin || height > hMax) {
        TrcWritef(kTraceInfo, "IsA4JpgOk error (w:%d, h:%d)(wMin:%d,wMax:%d, hMin:%d,hMax:%d)", width, height, wMin,
                  wMax, hMin, hMax);
        return false;
    }
    return true;
}

bool CImgHelp::IsA4JpgOk(const CutResult& cut, const char* path)
{
    const cv::Mat picture = stampctl::imaging::readPicture(orEmpty(path), cv::IMREAD_COLOR);
    if (picture.empty()) {
        TrcWritef(kTraceInfo, "IsA4JpgOk is NULL(filePath:%s)", orEmpty(path));
        return false;
    }
    return IsA4JpgOk(cut, picture.cols, picture.rows);
}
