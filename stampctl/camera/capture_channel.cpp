#include "stampctl/camera/capture_channel.h"

#include <chrono>

#include <opencv2/videoio.hpp>

#include "stampctl/core/clock.h"
#include "stampctl/core/trace.h"

using namespace stampctl;

namespace {
constexpr int kMaxEmptyFrames = 10;      // the eleventh empty frame in a row ends the thread
constexpr int64_t kPassPauseMs = 30;     // after every pass
constexpr int64_t kAfterReopenMs = 10;
// A waiting request looks at the clock at least this often (real milliseconds) while the
// capture thread is silent; it is woken at once by every pass of the thread.
constexpr std::chrono::milliseconds kRecheck{10};
}  // namespace

// ---- handshake ------------------------------------------------------------------------------

CSeal::PHOTO_STATUS CSeal::CaptureChannel::getStatus()
{
    std::unique_lock<std::mutex> guard(lock);
    return status;
}

void CSeal::CaptureChannel::setStatus(PHOTO_STATUS st)
{
    std::unique_lock<std::mutex> guard(lock);
    status = st;
    TrcWritef(kTraceError, statusTrace, static_cast<int>(st));
    changed.notify_all();
}

int64_t CSeal::CaptureChannel::request()
{
    const int64_t at = nowMs();
    setStatus(PH_REQUESTED);
    return at;
}

CSeal::CaptureChannel::FrameWait CSeal::CaptureChannel::waitForFrame(int64_t deadlineMs, cv::Mat& out)
{
    // The request itself never moves the clock: on a virtual clock only the capture thread's
    // passes make time go by, so a frame either came within the limit or it did not.
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        if (status == PH_DONE) {
            if (doneMs > deadlineMs) return FrameWait::TimedOut;  // too late to be waited for
            out = frame.clone();
            return FrameWait::Arrived;
        }
        // No frame can come any more: the thread has ended.
        if (!run) return FrameWait::ThreadEnded;
        if (nowMs() > deadlineMs) return FrameWait::TimedOut;
        changed.wait_for(guard, kRecheck);
    }
}

void CSeal::CaptureChannel::promoteRequest()
{
    std::unique_lock<std::mutex> guard(lock);
    if (status != PH_REQUESTED) return;
    status = PH_TAKING;
    TrcWritef(kTraceError, statusTrace, static_cast<int>(status));
}

void CSeal::CaptureChannel::deliver(const cv::Mat& f)
{
    {
        std::unique_lock<std::mutex> guard(lock);
        if (status != PH_TAKING) return;
        frame.release();
        frame = f.clone();
        doneMs = nowMs();
        status = PH_DONE;
        TrcWritef(kTraceError, statusTrace, static_cast<int>(status));
        changed.notify_all();
    }
    device->frameTaken();
}

// ---- device and thread ----------------------------------------------------------------------

bool CSeal::CaptureChannel::openDevice(int index)
{
    if (!device) device = seal.m_cameras.makeDevice();
    device->open(index);
    const cv::Size size = frameSize();
    device->set(cv::CAP_PROP_FOURCC, camera::kFourccMjpg);
    device->set(cv::CAP_PROP_FRAME_WIDTH, size.width);
    device->set(cv::CAP_PROP_FRAME_HEIGHT, size.height);
    if (device->isOpened()) return true;
    device->release();
    return false;
}

void CSeal::CaptureChannel::start(void* (*entry)(void*))
{
    std::lock_guard<std::mutex> guard(threadLock);
    if (thread.joinable()) thread.join();
    run = true;
    try {
        thread = std::thread(entry, &seal);
    } catch (...) {
        run = false;
        device->release();
        throw;
    }
}

bool CSeal::CaptureChannel::stop()
{
    const bool wasRunning = run.exchange(false);
    {
        std::lock_guard<std::mutex> guard(threadLock);
        if (thread.joinable()) thread.join();
    }
    if (wasRunning) {
        std::unique_lock<std::mutex> guard(lock);
        frame.release();
    }
    return wasRunning;
}

bool CSeal::CaptureChannel::reopen()
{
    const int index = seal.GetIndexByName(cameraName());
    if (index < 0) {
        TrcWritef(kTraceInfo, "-----未找到摄像头，退出采集程线-----");
        return false;
    }
    device->release();
    if (!openDevice(index)) {
        TrcWritef(kTraceError, "%s", reopenFailedTrace);
        return false;
    }
    TrcWritef(kTraceInfo, "%s", reopenedTrace);
    return true;
}

void CSeal::CaptureChannel::loop()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "%s", loopName);
    log.SetRet("return 0");
    cv::Mat local;
    int failures = 0;
    bool havePrevious = false;
    int64_t previousMs = 0;
    try {
        while (run) {
            promoteRequest();
            device->read(local);
            // A read that returns this late means the stream stalled, not a slow frame rate.
            if (havePrevious && nowMs() - previousMs > stallLimitMs) {
                TrcWritef(kTraceInfo, "-------------- 帧间隔超时，重新打开摄像头 --------------");
                if (!reopen()) break;
                sleepMs(kAfterReopenMs);
                promoteRequest();
                device->read(local);
            }
            deliver(local);
            previousMs = nowMs();
            havePrevious = true;
            if (local.empty()) {
                ++failures;
                TrcWritef(kTraceInfo, emptyTrace, failures);
                if (failures > kMaxEmptyFrames) break;
            } else {
                failures = 0;
            }
            sleepMs(kPassPauseMs);
        }
    } catch (...) {
        TrcWritef(kTraceInfo, "%s", exceptionTrace);
    }
    local.release();
    ended();
}

void CSeal::CaptureChannel::ended()
{
    device->release();
    std::unique_lock<std::mutex> guard(lock);
    run = false;
    changed.notify_all();
}
