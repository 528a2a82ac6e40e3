// The environment camera: like the document camera, with its own name, frame size and limits,
// and a photo that is written as it comes.
#include <exception>

#include <opencv2/imgcodecs.hpp>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"
#include "stampctl/imaging/picture_file.h"

using namespace stampctl;

namespace {
constexpr const char* kEnvCameraName = "GWI";
constexpr int64_t kEnvStallLimitMs = 5000;
constexpr int64_t kEnvPhotoWaitMs = 20000;  // 2000 looks, 10 ms apart
constexpr int kEmptyEnvFrame = 1;
// No camera delivers more per side; beyond it a frame buffer alone would take gigabytes.
constexpr int kLargestEnvSide = 8192;
}  // namespace

camera::ChannelSettings camera::environmentCameraSettings()
{
    return ChannelSettings{
        kEnvCameraName,
        cv::Size(),  // until the first open gives one
        kEnvStallLimitMs,
        "CSeal::ReflashEnvVideo",
        "CSeal::SetEnvPHStatus st:%d",
        "=========== 环境摄像头采集图片失败 =========== nCount:%d",
        "-----重新打开环境摄像头摄像头成功-----",
        "-----打开环境摄像头摄像头失败，退出采集程线-----",
        "=========== 环境摄像头采集图片异常...===========",
    };
}

CSeal::PHOTO_STATUS CSeal::GetEnvPHStatus() { return m_environment.status(); }

void CSeal::SetEnvPHStatus(PHOTO_STATUS st) { m_environment.setStatus(st); }

int CSeal::_openEnvVideoCap(int width, int height)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_openEnvVideoCap w:%d, h:%d", width, height);
    // Refused before it is stored, so that no reopen by a running thread picks it up either.
    if (width < 1 || height < 1 || width > kLargestEnvSide || height > kLargestEnvSide) {
        log.SetRet("return %d", EC_CAMERA_PARAMETER);
        return EC_CAMERA_PARAMETER;
    }
    // A second caller waits here and then finds the camera running.
    const auto held = m_environment.lifecycle();
    // Kept even when the camera runs already: the thread's next reopen uses them.
    m_environment.setFrameSize(cv::Size(width, height));
    if (m_environment.running()) {
        TrcWritef(kTraceInfo, "环境摄像头已打开，直接返回成功");
        log.SetRet("return %d", EC_OK);
        return EC_OK;
    }
    _closeEnvVideoCap();
    const int index = m_environment.cameraIndex();
    if (index < 0) {
        TrcWritef(kTraceError, "未找到环境摄像头");
        log.SetRet("return %d", EC_CAMERA_FAULT);
        return EC_CAMERA_FAULT;
    }
    if (!m_environment.openDevice(index)) {
        TrcWritef(kTraceError, "打开环境摄像头失败");
        log.SetRet("return %d", EC_CAMERA_FAULT);
        return EC_CAMERA_FAULT;
    }
    m_environment.start();
    log.SetRet("return 0");
    return EC_OK;
}

int CSeal::_closeEnvVideoCap()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_closeEnvVideoCap m_bEnvRun:%d", m_environment.running() ? 1 : 0);
    m_environment.stop();
    return EC_OK;
}

int CSeal::_TakeEnvPhoto(const std::string& filePath)
{
    TrcWritef(kTraceInfo, "--> _TakeEnvPhoto %s", filePath.c_str());
    auto finish = [&](int result) {
        TrcWritef(kTraceInfo, "<-- _TakeEnvPhoto return:%d", result);
        return result;
    };
    if (!m_environment.running()) return finish(EC_CAMERA_CLOSED);

    cv::Mat picture;
    const int64_t asked = m_environment.request();
    TrcWritef(kTraceInfo, "-- start takephoto m_bEnvRun:%d--", m_environment.running() ? 1 : 0);
    if (m_environment.waitForFrame(asked + kEnvPhotoWaitMs, picture) != camera::CaptureChannel::FrameWait::Arrived) {
        TrcWritef(kTraceInfo, "-- end takephoto 超时, 环境摄像头拍照失败--");
        return finish(EC_CAPTURE_FAIL);
    }
    TrcWritef(kTraceInfo, "-- end takephoto 环境摄像头采集完成--");
    if (picture.empty()) return finish(kEmptyEnvFrame);

    TrcWritef(kTraceInfo, "-- cv::imwrite path:%s, w:%d, h:%d --", filePath.c_str(), picture.cols, picture.rows);
    // An unwritable path or an unknown extension must not pass for a photo taken, nor let an
    // exception out of this unguarded export.
    bool written = false;
    try {
        written = stampctl::imaging::writePicture(filePath, picture);
    } catch (const std::exception&) {
        written = false;
    }
    return finish(written ? EC_OK : EC_WRITE_FILE_FAIL);
}
