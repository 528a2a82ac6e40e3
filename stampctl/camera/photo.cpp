// The document photo: the next frame of the running document camera, enlarged slightly about
// its centre, written whole and/or straightened and cut to the sheet.
#include <cstring>
#include <exception>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"
#include "stampctl/seal.h"
#include "stampctl/imaging/picture_file.h"

using namespace stampctl;

namespace {

constexpr int64_t kPhotoWaitMs = 30000;  // 3000 looks, 10 ms apart
constexpr double kEnlargement = 1.024;
constexpr int kTypeFullAndCut = 0;
constexpr int kTypeOneOfThem = 1;  // the cut with the erase flag, else the full photo
constexpr const char* kTimeoutTrace = "-- end takephoto 超时, 拍照失败--";

// The cut picture's path: a ".bmp", ".jpg" or ".raw" anywhere in the path costs the path its
// last four characters; ".jpg" is appended either way.
std::string cutPathFor(const std::string& path)
{
    std::string cut = path;
    const bool known = path.find(".bmp") != std::string::npos || path.find(".jpg") != std::string::npos ||
                       path.find(".raw") != std::string::npos;
    if (known) cut.erase(cut.size() - 4);
    return cut + ".jpg";
}

// Enlarges by 1.024 about the centre, keeping the size: a 3264 x 2448 frame is resized to
// 3342 x 2506 and cut again at (39, 29). The cut is a window of the enlarged picture, not a copy
// of it: writers and the crop take a window as they take a whole picture, and a second
// full-size buffer would cost more than the resize itself.
cv::Mat enlargeAboutCentre(const cv::Mat& picture)
{
    const int w = picture.cols, h = picture.rows;
    cv::Mat enlarged;
    cv::resize(picture, enlarged, cv::Size(static_cast<int>(w * kEnlargement), static_cast<int>(h * kEnlargement)), 0,
               0, cv::INTER_LINEAR);
    return enlarged(cv::Rect((enlarged.cols - w) / 2, (enlarged.rows - h) / 2, w, h));
}

struct WritePlan {
    bool full;
    bool cut;
};

WritePlan planFor(int type, int isEraseBorder)
{
    if (type == kTypeFullAndCut) return {true, true};
    if (type == kTypeOneOfThem) return isEraseBorder != 0 ? WritePlan{false, true} : WritePlan{true, false};
    return {true, false};
}

}  // namespace

int CSeal::_getImageFormat(const char* filePath, int type, int isEraseBorder, int quality)
{
    TRC_LOGER log(TRC_LOGER::TRC_API,
                  "CSeal::_getImageFormat m_bRun:%d, type:%d, isEraseBorder:%d, filePath:%s, quality:%d",
                  m_document.running() ? 1 : 0, type, isEraseBorder, filePath ? filePath : "(null)", quality);
    auto finish = [&](int result) {
        log.SetRet("Return %d, m_bRun:%d", result, m_document.running() ? 1 : 0);
        return result;
    };
    if (!filePath || !*filePath) return finish(EC_PHOTO_PATH_MISSING);

    const int heart = initCheckBb();
    if (heart != EC_OK) {
        log.SetRet("Return Code:%d", heart);
        return finish(heart);
    }
    if (!m_document.running()) return finish(EC_CAMERA_CLOSED);

    const std::string cutPath = cutPathFor(filePath);
    TrcWritef(kTraceInfo, "-- takephoto %s", cutPath.c_str());

    using FrameWait = camera::CaptureChannel::FrameWait;
    cv::Mat picture;
    const int64_t asked = m_document.request();
    TrcWritef(kTraceInfo, "-- start takephoto m_bRun:%d--", m_document.running() ? 1 : 0);
    if (m_document.waitForFrame(asked + kPhotoWaitMs, picture) != FrameWait::Arrived) {
        if (m_document.running()) {
            TrcWritef(kTraceInfo, "%s", kTimeoutTrace);
            return finish(EC_CAPTURE_FAIL);
        }
        // The thread ended while we waited: one reopen, one more wait.
        TrcWritef(kTraceInfo, "-- takephoto 采集线程已退出, 重新打开摄像头--");
        if (_openVideoCap() != EC_OK) return finish(EC_CAPTURE_FAIL);
        const int64_t again = m_document.request();
        if (m_document.waitForFrame(again + kPhotoWaitMs, picture) != FrameWait::Arrived) {
            TrcWritef(kTraceInfo, "%s", kTimeoutTrace);
            return finish(EC_CAPTURE_FAIL);
        }
    }
    TrcWritef(kTraceInfo, "-- end takephoto 采集完成--");
    TrcWritef(kTraceInfo, "-- end takephoto --");
    if (picture.empty()) {
        TrcWritef(kTraceInfo, "-- takephoto 采集到的图片无效");
        return finish(EC_CAPTURE_FAIL);
    }
    TrcWritef(kTraceInfo, "-- takephoto 成功, 开始裁剪图片");

    try {
        picture = enlargeAboutCentre(picture);
        TrcWritef(kTraceInfo, "-- begin filePath:%s, m_cutpath:%s", filePath, cutPath.c_str());
        const WritePlan plan = planFor(type, isEraseBorder);
        // A writer that says it wrote nothing has failed as surely as one that throws.
        if (plan.full && !stampctl::imaging::writePicture(filePath, picture))
            throw cv::Exception(cv::Error::StsError, "full photo not written", __func__, __FILE__, __LINE__);
        if (plan.cut) {
            CutResult cut;
            const JZRecord jz = jzRecord();
            CImgHelp::Instance()->AutoCutPaperByImg(picture, filePath, cutPath.c_str(), nullptr, config()->paper_max,
                                                    quality, cut,
                                                    SheetSize::FromRecord(jz.m_A4LongSide, jz.m_A4ShortSide));
            storeCut(std::move(cut));
        }
    } catch (const std::exception&) {
        // The photo meant to replace the last cut is not there: a pixel of the old one would
        // now name a place on a sheet nobody has seen.
        storeCut(CutResult());
        TrcWritef(kTraceInfo, "-- AutoCutPaperByImg 异常 EC_WRITE_FILE_FAIL");
        return finish(EC_WRITE_FILE_FAIL);
    }
    return finish(EC_OK);
}
