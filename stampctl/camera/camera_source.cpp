#include "stampctl/camera/camera_source.h"

#include <QCameraInfo>
#include <QDebug>
#include <cstdlib>

#include <opencv2/videoio.hpp>

#if STAMPCTL_WITH_SIMULATOR
#include "stampctl/sim/sim_camera.h"
#include "stampctl/sim/sim_machine.h"
#endif

namespace stampctl::camera {
namespace {

class OpenCvDevice : public VideoDevice {
public:
    bool open(int index) override { return m_cap.open(index); }
    bool isOpened() const override { return m_cap.isOpened(); }
    bool set(int propId, double value) override { return m_cap.set(propId, value); }
    bool read(cv::Mat& frame) override { return m_cap.read(frame); }
    void release() override { m_cap.release(); }

private:
    cv::VideoCapture m_cap;
};

class QtPlatform : public CameraPlatform {
public:
    std::vector<CameraInfo> availableCameras() override
    {
        std::vector<CameraInfo> list;
        for (const QCameraInfo& info : QCameraInfo::availableCameras())
            list.push_back({info.deviceName().toStdString(), info.description().toUtf8().toStdString()});
        return list;
    }
    std::unique_ptr<VideoDevice> makeDevice() override { return std::make_unique<OpenCvDevice>(); }
};

}  // namespace

CameraPlatform& cameraPlatform()
{
    static QtPlatform real;
#if STAMPCTL_WITH_SIMULATOR
    // Named photos stand in for the document camera beside a real machine too (the tests of the
    // real USB path have no camera).
    if (sim::simulatorEnabled() || sim::simPhotosNamed()) return sim::cameraPlatform();
#endif
    return real;
}

int indexOfCamera(const std::vector<CameraInfo>& cameras, const std::string& name)
{
    for (const CameraInfo& cam : cameras) {
        qDebug() << cam.deviceName.c_str();
        qDebug() << cam.description.c_str();
        if (cam.description.find(name) == std::string::npos) continue;
        if (cam.deviceName.empty()) return 0;
        const char last[2] = {cam.deviceName.back(), '\0'};
        return static_cast<int>(std::strtol(last, nullptr, 10));
    }
    return -1;
}

}  // namespace stampctl::camera
