// One camera as its capture thread and its photo requests see it. The document camera and the
// environment camera are two of these with different settings; both run the same loop and the
// same handshake.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <opencv2/core.hpp>

#include "stampctl/camera/camera_source.h"

namespace stampctl::camera {

// The photo handshake between a request and a capture thread. The values are written to the
// trace, so they stay as they are.
enum PhotoStatus { PH_REQUESTED = 0, PH_TAKING = 1, PH_DONE = 2 };

// What differs between the cameras. The texts are the trace lines of this camera.
struct ChannelSettings {
    std::string cameraName;   // found by description, on the first open and on a reopen
    cv::Size frameSize;       // until setFrameSize()
    int64_t stallLimitMs;     // a read returning later than this after the previous pass
    const char* loopName;     // the capture thread's trace block
    const char* statusTrace;  // "CSeal::SetPHStatus st:%d"
    const char* emptyTrace;   // "... nCount:%d"
    const char* reopenedTrace;
    const char* reopenFailedTrace;
    const char* exceptionTrace;
};

// The two cameras of the machine (camera/capture.cpp, camera/env_camera.cpp).
ChannelSettings documentCameraSettings();
ChannelSettings environmentCameraSettings();

class CaptureChannel {
public:
    CaptureChannel(CameraPlatform& platform, ChannelSettings settings);
    // Stops and joins the thread, so that no capture thread outlives its channel.
    ~CaptureChannel();
    CaptureChannel(const CaptureChannel&) = delete;
    CaptureChannel& operator=(const CaptureChannel&) = delete;

    bool running() const { return m_run; }

    // ---- handshake ----------------------------------------------------------------------------
    PhotoStatus status();
    void setStatus(PhotoStatus st);
    // Raises a request; returns the clock time it was made.
    int64_t request();
    enum class FrameWait { Arrived, TimedOut, ThreadEnded };
    // Waits until the thread hands over a frame no later than `deadlineMs` (clock), the
    // deadline passes, or the thread ends. On arrival `out` shares the handed-over frame, which
    // nobody writes into any more.
    FrameWait waitForFrame(int64_t deadlineMs, cv::Mat& out);

    // ---- device and thread --------------------------------------------------------------------
    // Held across a whole open or close (checks, device and thread), so that callers on several
    // threads take turns: one device, one thread. Opening and stopping take it themselves too;
    // the capture thread never does.
    std::unique_lock<std::recursive_mutex> lifecycle() { return std::unique_lock<std::recursive_mutex>(m_lifecycle); }
    // The platform's index of this camera; -1 when it is not listed.
    int cameraIndex();
    // Used from the next open on, a reopen by the running thread included.
    void setFrameSize(cv::Size size);
    // (Re)opens the device on `index` with MJPG and the frame size; false leaves it closed.
    bool openDevice(int index);
    // Runs the capture loop on the opened device; returns once it has read (or ended), so that
    // whatever the read first builds is destroyed at exit only after the thread is stopped.
    void start();
    // Clears the run flag and joins the thread; it has let go of the device when this returns.
    // True when the camera was running.
    bool stop();

private:
    // Reads continuously, hands a frame to a request, reopens a stalled stream once, and ends
    // on the run flag, a lost camera or eleven empty frames in a row.
    void loop();
    void promoteRequest();     // PH_REQUESTED -> PH_TAKING
    void deliver(cv::Mat& f);  // PH_TAKING -> PH_DONE, taking the frame over (`f` is left empty)
    void readOnce();           // the first pass of this run is done
    bool reopen();
    // openDevice without taking m_lifecycle: the running thread's reopen, which a stop holding
    // m_lifecycle may be waiting to join.
    bool openDeviceOnce(int index);
    void ended();

    CameraPlatform& m_platform;
    const ChannelSettings m_settings;
    std::atomic<bool> m_run{false};
    // Touched under m_lifecycle while no thread runs, then by the thread alone.
    std::unique_ptr<VideoDevice> m_device;

    // The frame, the status, its time and the frame size are guarded by m_lock; the thread wakes
    // a waiting request through m_changed. (Standard mutexes rather than Qt's: the thread
    // sanitizer sees through these, not through Qt's contended path.)
    std::mutex m_lock;
    std::condition_variable m_changed;
    cv::Mat m_frame;
    PhotoStatus m_status = PH_DONE;
    int64_t m_doneMs = 0;  // when m_frame was handed over (clock ms)
    cv::Size m_frameSize;
    bool m_readOnce = false;

    std::recursive_mutex m_lifecycle;
    std::thread m_thread;
};

}  // namespace stampctl::camera
