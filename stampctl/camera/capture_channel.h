// One camera as its capture thread and its photo requests see it: the controller's members of
// that camera, and what differs between the document and the environment camera. Both cameras
// run the same loop and the same handshake, from capture_channel.cpp.
#pragma once

#include <functional>

#include "stampctl/seal.h"

struct CSeal::CaptureChannel {
    // ---- what differs between the cameras ---------------------------------------------------
    const char* loopName;           // the capture thread's trace block
    const char* statusTrace;        // "CSeal::SetPHStatus st:%d"
    int64_t stallLimitMs;           // a read returning later than this after the previous pass
    std::function<std::string()> cameraName;  // looked up again on a reopen
    std::function<cv::Size()> frameSize;      // applied on every open
    const char* emptyTrace;         // "... nCount:%d"
    const char* reopenedTrace;
    const char* reopenFailedTrace;
    const char* exceptionTrace;

    // ---- the controller's members of this camera --------------------------------------------
    CSeal& seal;
    std::atomic<bool>& run;
    std::unique_ptr<stampctl::camera::VideoDevice>& device;
    cv::Mat& frame;
    PHOTO_STATUS& status;
    int64_t& doneMs;
    std::mutex& lock;
    std::condition_variable& changed;
    std::thread& thread;
    std::mutex& threadLock;

    // ---- handshake ----------------------------------------------------------------------------
    PHOTO_STATUS getStatus();
    void setStatus(PHOTO_STATUS st);
    // Raises a request; returns the clock time it was made.
    int64_t request();
    enum class FrameWait { Arrived, TimedOut, ThreadEnded };
    // Waits until the thread hands over a frame no later than `deadlineMs` (clock), the
    // deadline passes, or the thread ends. On arrival `out` is a copy of the shared frame.
    FrameWait waitForFrame(int64_t deadlineMs, cv::Mat& out);

    // ---- device and thread --------------------------------------------------------------------
    // (Re)opens the device on `index` with MJPG and the frame size; false leaves it closed.
    bool openDevice(int index);
    void start(void* (*entry)(void*));
    // Clears the run flag and joins the thread; it has let go of the device when this returns.
    // True when the camera was running.
    bool stop();
    // The capture loop: reads continuously, hands a frame to a request, reopens a stalled
    // stream once, and ends on the run flag, a lost camera or eleven empty frames in a row.
    void loop();

private:
    void promoteRequest();          // PH_REQUESTED -> PH_TAKING
    void deliver(const cv::Mat& f); // PH_TAKING -> PH_DONE with a deep copy
    bool reopen();
    void ended();
};
