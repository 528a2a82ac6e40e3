// Cropping the straightened photo to the sheet, and the picture-file helpers.
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"
#include "stampctl/imaging/picture_file.h"

using stampctl::kTraceInfo;

namespace {

constexpr double kA4MinShare = 0.9;  // a cut picture within 10 % of the sheet size is a sheet
constexpr double kA4MaxShare = 1.1;

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

std::string CImgHelp::cutAttempt(const cv::Mat& src, unsigned long level, int16_t ltrb_Pixel,
                                 const SheetSize& a4, cv::Mat& straight, CutResult& cut) const
{
    cut = CutResult{};
    rotateByPaper(src, straight, level, cut);
    const cv::Mat bin = MakeThreshold(straight, level);
    cut.paperFound = MakePaperArea(bin, ltrb_Pixel, cut);
    if (!cut.paperFound) return "no sheet edges";
    // A configured margin is a fixed window, not a detection: nothing to check.
    return ltrb_Pixel >= 1 ? std::string() : SheetCheckFailure(cut.paper, straight.size(), a4);
}

bool CImgHelp::AutoCutPaperByImg(const cv::Mat& src, const char* name, const char* outPath,
                                 const char* outPath2, int16_t ltrb_Pixel, int quality,
                                 CutResult& cut, const SheetSize& a4) const
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CImgHelp::AutoCutPaperByImg ltrb_Pixel:%d", ltrb_Pixel);
    if (src.empty()) {
        log.SetRet("AutoCutPaperByImg isrc is NULL");
        return false;
    }
    (void)name;  // names the photo in the callers' traces only
    const OutputSettings settings = outputSettings();

    cv::Mat straight;
    unsigned long level = settings.threshold;
    const std::string configured = cutAttempt(src, level, ltrb_Pixel, a4, straight, cut);
    std::string failure = configured;
    if (!configured.empty()) {
        level = OtsuLevel(src);
        failure = cutAttempt(src, level, ltrb_Pixel, a4, straight, cut);
    }
    if (failure.empty()) {
        TrcWritef(kTraceInfo, "AutoCutPaperByImg threshold:%lu (%s)", level,
                  configured.empty() ? "CutEzh" : "Otsu");
    } else {
        TrcWritef(kTraceInfo, "AutoCutPaperByImg no sheet: CutEzh %lu: %s; Otsu %lu: %s", settings.threshold,
                  configured.c_str(), level, failure.c_str());
        // Neither turn nor rectangle can be trusted: the photo itself is the picture, and its
        // pixels are the photo's own.
        cut = CutResult{};
        cut.paperWidth = SheetSize{}.longSide;
        cut.paperHeight = SheetSize{}.shortSide;
        straight = src.clone();
    }

    const int jpgQuality = quality == 0 ? settings.jpgQuality : quality;
    if (cut.paperFound) {
        const cv::Rect roi = ClipRoi(straight, cut.paper);
        if (outPath2) SavePic(outPath2, straight(roi), 0);
        TrcWritef(kTraceInfo, "ClipRoi return");
        SavePic(outPath, straight(roi), jpgQuality);
        TrcWritef(kTraceInfo, "SavePic return");
        cut.picture = straight(roi).clone();
    } else {
        SavePic(outPath, straight, jpgQuality);
        cut.paper = cv::Rect(0, 0, straight.cols, straight.rows);
        cut.picture = straight;  // the straightened picture is ours alone: no copy needed
    }
    straight.release();
    log.SetRet("Return bl:%d", cut.paperFound);
    return cut.paperFound;
}

bool CImgHelp::AutoCutPaper(const char* srcPath, const char* outPath, int16_t ltrb_Pixel,
                            CutResult& cut) const
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "AutoCutPaper");
    const cv::Mat photo = cv::imread(orEmpty(srcPath), cv::IMREAD_COLOR);
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
    const cv::Mat picture = cv::imread(orEmpty(path), cv::IMREAD_UNCHANGED);
    if (picture.empty()) {
        TrcWritef(kTraceInfo, "imread src is NULL(path:%s)", orEmpty(path));
        return;
    }
    cv::Mat turned;
    cv::transpose(picture, turned);
    cv::flip(turned, turned, 0);  // transposed and upside down: a quarter turn to the left
    SavePic(path, turned, 0);
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
        TrcWritef(kTraceInfo, "IsA4JpgOk error (w:%d, h:%d)(wMin:%d,wMax:%d, hMin:%d,hMax:%d)",
                  width, height, wMin, wMax, hMin, hMax);
        return false;
    }
    return true;
}

bool CImgHelp::IsA4JpgOk(const CutResult& cut, const char* path)
{
    const cv::Mat picture = cv::imread(orEmpty(path), cv::IMREAD_COLOR);
    if (picture.empty()) {
        TrcWritef(kTraceInfo, "IsA4JpgOk is NULL(filePath:%s)", orEmpty(path));
        return false;
    }
    return IsA4JpgOk(cut, picture.cols, picture.rows);
}
