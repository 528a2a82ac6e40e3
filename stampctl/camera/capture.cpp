// The document camera: finding it, opening and closing it, and its capture thread.
#include "stampctl/camera/capture_channel.h"

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"

using namespace stampctl;

namespace {
constexpr const char* kDocumentCameraName = "USB Camera";
constexpr int kDocumentWidth = 3264;
constexpr int kDocumentHeight = 2448;
constexpr int64_t kDocumentStallLimitMs = 7000;
constexpr int kVideoRunning = 1;
constexpr int kVideoStopped = 2;
}  // namespace

CSeal::CaptureChannel CSeal::documentChannel()
{
    return CaptureChannel{
        "CSeal::ReflashVideo",
        "CSeal::SetPHStatus st:%d",
        kDocumentStallLimitMs,
        [] { return std::string(kDocumentCameraName); },
        [] { return cv::Size(kDocumentWidth, kDocumentHeight); },
        "=========== 采集图片失败 =========== nCount:%d",
        "-----重新打开摄像头成功-----",
        "-----打开摄像头失败，退出采集程线-----",
        "=========== 采集图片异常...===========",
        *this, m_bRun, m_videoCap, m_frame, m_photoStatus, m_photoDoneMs, m_photoLock,
        m_photoChanged, m_videoThread, m_videoThreadLock,
    };
}

CSeal::PHOTO_STATUS CSeal::GetPHStatus() { return documentChannel().getStatus(); }

void CSeal::SetPHStatus(PHOTO_STATUS st) { documentChannel().setStatus(st); }

int CSeal::GetIndexByName(const std::string& name)
{
    return camera::indexOfCamera(m_cameras.availableCameras(), name);
}

int CSeal::_checkVideoState()
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CSeal::_checkVideoState");
    int result = ExeHeart();
    if (result == EC_OK) result = m_bRun ? kVideoRunning : kVideoStopped;
    log.SetRet("Return:%d", result);
    return result;
}

int CSeal::_openVideoCap()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_openVideoCap");
    if (_checkVideoState() == kVideoRunning) {
        TrcWritef(kTraceInfo, "摄像头已打开，直接返回成功");
        log.SetRet("Return:%d", EC_OK);
        return EC_OK;
    }
    const int checked = initCheckZb();
    if (checked != EC_OK) {
        log.SetRet("Return:%d", checked);
        return checked;
    }
    // A thread may still run while the heartbeat failed.
    _closeVideoCap();

    const int index = GetIndexByName(kDocumentCameraName);
    if (index < 0) {
        TrcWritef(kTraceError, "未找到摄像头");
        log.SetRet("Return:%d", EC_CAMERA_FAULT);
        return EC_CAMERA_FAULT;
    }
    CaptureChannel channel = documentChannel();
    if (!channel.openDevice(index)) {
        TrcWritef(kTraceError, "打开摄像头失败");
        log.SetRet("Return:%d", EC_CAMERA_FAULT);
        return EC_CAMERA_FAULT;
    }
    channel.start(&CSeal::_ReflashVideo);
    log.SetRet("Return:%d", EC_OK);
    return EC_OK;
}

int CSeal::_closeVideoCap()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_closeVideoCap m_bRun:%d", m_bRun ? 1 : 0);
    documentChannel().stop();
    log.SetRet("Return:%d", EC_OK);
    return EC_OK;
}

void* CSeal::_ReflashVideo(void* seal)
{
    static_cast<CSeal*>(seal)->ReflashVideo();
    return nullptr;
}

void CSeal::ReflashVideo() { documentChannel().loop(); }
