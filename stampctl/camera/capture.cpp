// The document camera: finding it, opening and closing it.
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;

namespace {
constexpr const char* kDocumentCameraName = "USB Camera";
constexpr int kDocumentWidth = 3264;
constexpr int kDocumentHeight = 2448;
constexpr int64_t kDocumentStallLimitMs = 7000;
constexpr int kVideoRunning = 1;
constexpr int kVideoStopped = 2;
}  // namespace

camera::ChannelSettings camera::documentCameraSettings()
{
    return ChannelSettings{
        kDocumentCameraName,
        cv::Size(kDocumentWidth, kDocumentHeight),
        kDocumentStallLimitMs,
        "CSeal::ReflashVideo",
        "CSeal::SetPHStatus st:%d",
        "=========== 采集图片失败 =========== nCount:%d",
        "-----重新打开摄像头成功-----",
        "-----打开摄像头失败，退出采集程线-----",
        "=========== 采集图片异常...===========",
    };
}

CSeal::PHOTO_STATUS CSeal::GetPHStatus() { return m_document.status(); }

void CSeal::SetPHStatus(PHOTO_STATUS st) { m_document.setStatus(st); }

int CSeal::GetIndexByName(const std::string& name) { return camera::indexOfCamera(m_cameras.availableCameras(), name); }

int CSeal::_checkVideoState()
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CSeal::_checkVideoState");
    int result = ExeHeart();
    if (result == EC_OK) result = m_document.running() ? kVideoRunning : kVideoStopped;
    log.SetRet("Return:%d", result);
    return result;
}

int CSeal::_openVideoCap()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_openVideoCap");
    // A second caller waits here and then finds the camera running.
    const auto held = m_document.lifecycle();
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

    const int index = m_document.cameraIndex();
    if (index < 0) {
        TrcWritef(kTraceError, "未找到摄像头");
        log.SetRet("Return:%d", EC_CAMERA_FAULT);
        return EC_CAMERA_FAULT;
    }
    if (!m_document.openDevice(index)) {
        TrcWritef(kTraceError, "打开摄像头失败");
        log.SetRet("Return:%d", EC_CAMERA_FAULT);
        return EC_CAMERA_FAULT;
    }
    m_document.start();
    log.SetRet("Return:%d", EC_OK);
    return EC_OK;
}

int CSeal::_closeVideoCap()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_closeVideoCap m_bRun:%d", m_document.running() ? 1 : 0);
    m_document.stop();
    log.SetRet("Return:%d", EC_OK);
    return EC_OK;
}
