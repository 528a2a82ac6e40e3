#include "stampctl/camera/capture_channel.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>
#include <vector>

#include <opencv2/videoio.hpp>

#include "stampctl/core/clock.h"
#include "stampctl/core/trace.h"

namespace stampctl::camera {

namespace {
constexpr int kMaxEmptyFrames = 10;   // the eleventh empty frame in a row ends the thread
constexpr int64_t kPassPauseMs = 30;  // after every pass
constexpr int64_t kAfterReopenMs = 10;
// A waiting request looks at the clock at least this often (real milliseconds) while the
// capture thread is silent; it is woken at once by every pass of the thread.
constexpr std::chrono::milliseconds kRecheck{10};

// The channels of the process. Never destroyed, so that the exit hook below still finds them.
std::mutex& channelsLock()
{
    static auto* lock = new std::mutex;
    return *lock;
}
std::vector<CaptureChannel*>& channels()
{
    static auto* list = new std::vector<CaptureChannel*>;
    return *list;
}

// At exit, objects are destroyed in the reverse order of their construction. Those first built
// by a capture thread's read (a video back-end, the image codecs) would go before the controller
// that joins the thread, with the thread still in them. Registered once a new thread has read,
// this runs before any of them is destroyed.
void stopChannelsAtExit()
{
    std::lock_guard<std::mutex> guard(channelsLock());
    for (CaptureChannel* channel : channels()) channel->stop();
}

}  // namespace

CaptureChannel::CaptureChannel(CameraPlatform& platform, ChannelSettings settings)
    : m_platform(platform), m_settings(std::move(settings)), m_frameSize(m_settings.frameSize)
{
    std::lock_guard<std::mutex> guard(channelsLock());
    channels().push_back(this);
}

CaptureChannel::~CaptureChannel()
{
    stop();
    std::lock_guard<std::mutex> guard(channelsLock());
    channels().erase(std::find(channels().begin(), channels().end(), this));
}

// ---- handshake ------------------------------------------------------------------------------

PhotoStatus CaptureChannel::status()
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_status;
}

void CaptureChannel::setStatus(PhotoStatus st)
{
    std::unique_lock<std::mutex> guard(m_lock);
    m_status = st;
    TrcWritef(kTraceError, m_settings.statusTrace, static_cast<int>(st));
    m_changed.notify_all();
}

int64_t CaptureChannel::request()
{
    const int64_t at = nowMs();
    setStatus(PH_REQUESTED);
    return at;
}

CaptureChannel::FrameWait CaptureChannel::waitForFrame(int64_t deadlineMs, cv::Mat& out)
{
    // The request itself never moves the clock: on a virtual clock only the capture thread's
    // passes make time go by, so a frame either came within the limit or it did not.
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        if (m_status == PH_DONE) {
            if (m_doneMs > deadlineMs) return FrameWait::TimedOut;  // too late to be waited for
            // Shared, not copied: the thread let go of this frame when it handed it over and
            // reads into a buffer of its own, so nobody writes into it any more.
            out = m_frame;
            return FrameWait::Arrived;
        }
        // No frame can come any more: the thread has ended.
        if (!m_run) return FrameWait::ThreadEnded;
        if (nowMs() > deadlineMs) return FrameWait::TimedOut;
        m_changed.wait_for(guard, kRecheck);
    }
}

void CaptureChannel::promoteRequest()
{
    std::unique_lock<std::mutex> guard(m_lock);
    if (m_status != PH_REQUESTED) return;
    m_status = PH_TAKING;
    TrcWritef(kTraceError, m_settings.statusTrace, static_cast<int>(m_status));
}

void CaptureChannel::deliver(cv::Mat& f)
{
    {
        std::unique_lock<std::mutex> guard(m_lock);
        if (m_status != PH_TAKING) return;
        // The frame changes hands instead of being copied (a whole frame is tens of megabytes of
        // fresh memory, the bulk of a photo's wait): the thread's next read gets a buffer of its
        // own, since a capture may fill the one it is given in place.
        m_frame.release();
        m_frame = f;
        f = cv::Mat();
        m_doneMs = nowMs();
        m_status = PH_DONE;
        TrcWritef(kTraceError, m_settings.statusTrace, static_cast<int>(m_status));
        m_changed.notify_all();
    }
    m_device->frameTaken();
}

// ---- device and thread ----------------------------------------------------------------------

int CaptureChannel::cameraIndex() { return indexOfCamera(m_platform.availableCameras(), m_settings.cameraName); }

void CaptureChannel::setFrameSize(cv::Size size)
{
    std::unique_lock<std::mutex> guard(m_lock);
    m_frameSize = size;
}

bool CaptureChannel::openDevice(int index)
{
    const auto held = lifecycle();
    return openDeviceOnce(index);
}

bool CaptureChannel::openDeviceOnce(int index)
{
    if (!m_device) m_device = m_platform.makeDevice();
    m_device->open(index);
    cv::Size size;
    {
        std::unique_lock<std::mutex> guard(m_lock);
        size = m_frameSize;
    }
    m_device->set(cv::CAP_PROP_FOURCC, kFourccMjpg);
    m_device->set(cv::CAP_PROP_FRAME_WIDTH, size.width);
    m_device->set(cv::CAP_PROP_FRAME_HEIGHT, size.height);
    if (m_device->isOpened()) return true;
    m_device->release();
    return false;
}

void CaptureChannel::start()
{
    const auto held = lifecycle();
    if (m_thread.joinable()) m_thread.join();
    m_run = true;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_readOnce = false;
    }
    try {
        m_thread = std::thread(&CaptureChannel::loop, this);
    } catch (...) {
        m_run = false;
        m_device->release();
        throw;
    }
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return m_readOnce || !m_run; });
    }
    std::atexit(stopChannelsAtExit);
}

void CaptureChannel::readOnce()
{
    std::unique_lock<std::mutex> guard(m_lock);
    m_readOnce = true;
    m_changed.notify_all();
}

bool CaptureChannel::stop()
{
    const auto held = lifecycle();
    const bool wasRunning = m_run.exchange(false);
    if (m_thread.joinable()) m_thread.join();
    if (wasRunning) {
        std::unique_lock<std::mutex> guard(m_lock);
        m_frame.release();
    }
    return wasRunning;
}

bool CaptureChannel::reopen()
{
    const int index = cameraIndex();
    if (index < 0) {
        TrcWritef(kTraceInfo, "-----未找到摄像头，退出采集程线-----");
        return false;
    }
    m_device->release();
    if (!openDeviceOnce(index)) {
        TrcWritef(kTraceError, "%s", m_settings.reopenFailedTrace);
        return false;
    }
    TrcWritef(kTraceInfo, "%s", m_settings.reopenedTrace);
    return true;
}

void CaptureChannel::loop()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "%s", m_settings.loopName);
    log.SetRet("return 0");
    cv::Mat local;
    int failures = 0;
    bool havePrevious = false;
    int64_t previousMs = 0;
    try {
        while (m_run) {
            promoteRequest();
            m_device->read(local);
            // A read that returns this late means the stream stalled, not a slow frame rate.
            if (havePrevious && nowMs() - previousMs > m_settings.stallLimitMs) {
                TrcWritef(kTraceInfo, "-------------- 帧间隔超时，重新打开摄像头 --------------");
                if (!reopen()) break;
                sleepMs(kAfterReopenMs);
                promoteRequest();
                m_device->read(local);
            }
            const bool empty = local.empty();
            deliver(local);
            if (!havePrevious) readOnce();
            previousMs = nowMs();
            havePrevious = true;
            if (empty) {
                ++failures;
                TrcWritef(kTraceInfo, m_settings.emptyTrace, failures);
                if (failures > kMaxEmptyFrames) break;
            } else {
                failures = 0;
            }
            sleepMs(kPassPauseMs);
        }
    } catch (...) {
        TrcWritef(kTraceInfo, "%s", m_settings.exceptionTrace);
    }
    local.release();
    ended();
}

void CaptureChannel::ended()
{
    m_device->release();
    std::unique_lock<std::mutex> guard(m_lock);
    m_run = false;
    m_changed.notify_all();
}

}  // namespace stampctl::camera
