// Where the cameras come from: the platform's list of video devices and the capture object
// opened on one of them. Normally Qt Multimedia lists the devices and OpenCV captures from them;
// with the simulator enabled both are the simulated cameras (stampctl/sim/sim_camera.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace stampctl::camera {

// One entry of the platform's camera list.
struct CameraInfo {
    std::string deviceName;   // the video device node, "/dev/video0"
    std::string description;  // what the camera calls itself, "USB Camera"
};

// An opened (or openable) capture device, with the calls the capture thread makes on it.
class VideoDevice {
public:
    virtual ~VideoDevice() = default;
    virtual bool open(int index) = 0;
    virtual bool isOpened() const = 0;
    virtual bool set(int propId, double value) = 0;
    // Blocks until the next frame; false (and an empty frame) when none came.
    virtual bool read(cv::Mat& frame) = 0;
    virtual void release() = 0;
    // The frame last read was handed to a photo request. Real cameras do not care.
    virtual void frameTaken() {}
};

class CameraPlatform {
public:
    virtual ~CameraPlatform() = default;
    // In the order the platform lists them.
    virtual std::vector<CameraInfo> availableCameras() = 0;
    virtual std::unique_ptr<VideoDevice> makeDevice() = 0;
};

// The simulated cameras when STAMPCTL_SIMULATOR is "1" or STAMPCTL_SIM_PHOTOS names pictures,
// else the real ones. Asking for it
// builds whatever the simulated cameras need, so the controller asks once while it is built.
CameraPlatform& cameraPlatform();

// The index of the first listed camera whose description contains `name`: the last character
// of its device name read as a decimal digit (a letter gives 0). -1 when none matches.
int indexOfCamera(const std::vector<CameraInfo>& cameras, const std::string& name);

// MJPG: the compressed stream is the only one in which these cameras deliver full-size frames.
constexpr double kFourccMjpg = 1196444237;  // 'M' | 'J' << 8 | 'P' << 16 | 'G' << 24

}  // namespace stampctl::camera
