// The environment camera: like the document camera, with its own name, frame size and limits,
// and a photo that is written as it comes.
#include <exception>

#include <opencv2/imgcodecs.hpp>

#include "stampctl/camera/capture_channel.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"

using namespace stampctl;

namespace {
constexpr const char* kEnvCameraName = "GWI";
constexpr int64_t kEnvStallLimitMs = 5000;
constexpr int64_t kEnvPhotoWaitMs = 20000;  // 2000 looks, 10 ms apart
constexpr int kEmptyEnvFrame = 1;
}  // namespace

CSeal::CaptureChannel CSeal::envChannel()
{
    return CaptureChannel{
        "CSeal::ReflashEnvVideo",
        "CSeal::SetEnvPHStatus st:%d",
        kEnvStallLimitMs,
        [this] { return envCamName(); },
        [this] { return cv::Size(m_envWidth.load(), m_envHeight.load()); },
        "=========== 环境摄像头采集图片失败 =========== nCount:%d",
        "-----重新打开环境摄像头摄像头成功-----",
        "-----打开环境摄像头摄像头失败，退出采集程线-----",
        "=========== 环境摄像头采集图片异常...===========",
        *this, m_bEnvRun, m_envVideoCap, m_envFrame, m_envPhotoStatus, m_envPhotoDoneMs,
        m_envPhotoLock, m_envPhotoChanged, m_envVideoThread, m_envThreadLock,
    };
}

std::string CSeal::envCamName()
{
    std::lock_guard<std::mutex> guard(m_envCamNameLock);
    return m_envCamName;
}

CSeal::PHOTO_STATUS CSeal::GetEnvPHStatus() { return envChannel().getStatus(); }

void CSeal::SetEnvPHStatus(PHOTO_STATUS st) { envChannel().setStatus(st); }

int CSeal::_openEnvVideoCap(int width, int height)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_openEnvVideoCap w:%d, h:%d", width, height);
    // Kept even when the camera runs already: the thread's next reopen uses them.
    m_envWidth = width;
    m_envHeight = height;
    {
        std::lock_guard<std::mutex> guard(m_envCamNameLock);
        m_envCamName = kEnvCameraName;
    }
    if (m_bEnvRun) {
        TrcWritef(kTraceInfo, "环境摄像头已打开，直接返回成功");
        log.SetRet("return %d", EC_OK);
        return EC_OK;
    }
    _closeEnvVideoCap();
    const int index = GetIndexByName(envCamName());
    if (index < 0) {
        TrcWritef(kTraceError, "未找到环境摄像头");
        log.SetRet("return %d", EC_CAMERA_FAULT);
        return EC_CAMERA_FAULT;
    }
    CaptureChannel channel = envChannel();
    if (!channel.openDevice(index)) {
        TrcWritef(kTraceError, "打开环境摄像头失败");
        log.SetRet("return %d", EC_CAMERA_FAULT);
        return EC_CAMERA_FAULT;
    }
    channel.start(&CSeal::_ReflashEnvVideo);
    log.SetRet("return 0");
    return EC_OK;
}

int CSeal::_closeEnvVideoCap()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_closeEnvVideoCap m_bEnvRun:%d", m_bEnvRun ? 1 : 0);
    envChannel().stop();
    return EC_OK;
}

void* CSeal::_ReflashEnvVideo(void* seal)
{
    static_cast<CSeal*>(seal)->ReflashEnvVideo();
    return nullptr;
}

void CSeal::ReflashEnvVideo() { envChannel().loop(); }

int CSeal::_TakeEnvPhoto(const std::string& filePath)
{
    TrcWritef(kTraceInfo, "--> _TakeEnvPhoto %s", filePath.c_str());
    auto finish = [&](int result) {
        TrcWritef(kTraceInfo, "<-- _TakeEnvPhoto return:%d", result);
        return result;
    };
    if (!m_bEnvRun) return finish(EC_CAMERA_CLOSED);

    CaptureChannel channel = envChannel();
    cv::Mat picture;
    const int64_t asked = channel.request();
    TrcWritef(kTraceInfo, "-- start takephoto m_bEnvRun:%d--", m_bEnvRun ? 1 : 0);
    if (channel.waitForFrame(asked + kEnvPhotoWaitMs, picture) != CaptureChannel::FrameWait::Arrived) {
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
        written = cv::imwrite(filePath, picture);
    } catch (const std::exception&) {
        written = false;
    }
    return finish(written ? EC_OK : EC_WRITE_FILE_FAIL);
}
