// The simulated machine's two USB cameras: the document camera over the paper board (or, with
// STAMPCTL_SIM_PHOTOS naming an image file or a folder of images, those photos in turn) and the
// environment camera with a simple scene. They stand in the platform's camera list and behind
// the capture objects when the simulator is enabled, and tests can unplug them, stall them or
// make them deliver empty frames.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "stampctl/camera/camera_source.h"

namespace stampctl::sim {

constexpr const char* kSimPhotosEnv = "STAMPCTL_SIM_PHOTOS";

class SimCamera {
public:
    // What the camera shows in a frame of the size asked for, after `framesTaken` frames went
    // to photo requests.
    using Scene = std::function<cv::Mat(cv::Size, uint64_t framesTaken)>;

    SimCamera(std::string deviceName, std::string description, cv::Size defaultSize, Scene scene);
    SimCamera(const SimCamera&) = delete;
    SimCamera& operator=(const SimCamera&) = delete;

    const std::string& deviceName() const { return m_deviceName; }
    const std::string& description() const { return m_description; }

    // Back to a plugged, idle camera without pending faults and with zeroed counters. A capture
    // object that still holds it keeps it.
    void resetToDefault();

    // ---- knobs ------------------------------------------------------------------------------
    // An unplugged camera is missing from the list, cannot be opened and delivers nothing.
    void setPlugged(bool plugged);
    // The coming read returns `ms` late on the library's clock.
    void stallNextRead(int64_t ms);
    // The coming `count` reads deliver nothing.
    void deliverEmptyFrames(int count);
    // The coming `count` opens fail.
    void failNextOpens(int count);
    // While held, a read waits (really) until released; it has chosen its picture already.
    void holdReads(bool hold);
    // Waits until `count` reads have started (a read blocked by holdReads counts).
    bool waitForReadsStarted(uint64_t count, int64_t realTimeoutMs = 5000);
    // Waits until a read is held by holdReads.
    bool waitForHeldRead(int64_t realTimeoutMs = 5000);
    // Frames are due at multiples of this interval on the library's clock (default 15 per
    // second); a read returns with the next one due.
    void setFrameIntervalMs(int64_t ms);

    // ---- what the host did ------------------------------------------------------------------
    bool plugged() const;
    bool held() const;  // a capture object has it open
    int opens() const;  // successful opens
    uint64_t readsStarted() const;
    uint64_t framesTaken() const;    // frames handed over to photo requests
    cv::Size requestedSize() const;  // by the last width/height set
    double fourcc() const;

    // ---- the device side (the simulated capture object) --------------------------------------
    bool hostOpen();
    void hostRelease();
    void hostSet(int propId, double value);
    bool hostRead(cv::Mat& frame);
    void hostFrameTaken();

private:
    cv::Size frameSize() const;  // under m_lock

    const std::string m_deviceName;
    const std::string m_description;
    const cv::Size m_defaultSize;
    const Scene m_scene;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_plugged = true;
    bool m_held = false;
    bool m_holdReads = false;
    int m_readsHeld = 0;
    int64_t m_stallMs = 0;
    int m_emptyFrames = 0;
    int m_failOpens = 0;
    int64_t m_frameIntervalMs = 66;
    int m_opens = 0;
    uint64_t m_readsStarted = 0;
    uint64_t m_framesTaken = 0;
    cv::Size m_requested;
    double m_fourcc = 0;
};

// "USB Camera" on /dev/video0: the document camera.
SimCamera& documentCamera();
// "GWI" on /dev/video2: the environment camera.
SimCamera& environmentCamera();

// The cameras as the platform would list and open them.
camera::CameraPlatform& cameraPlatform();

// STAMPCTL_SIM_PHOTOS is set: the simulated cameras stand in for the real ones, the document
// camera delivering those pictures, with or without the simulated machine.
bool simPhotosNamed();

// The pictures STAMPCTL_SIM_PHOTOS names, in name order (empty when unset or unreadable).
std::vector<std::string> simPhotoFiles();

}  // namespace stampctl::sim
