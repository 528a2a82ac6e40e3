#include "stampctl/sim/sim_camera.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <thread>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "stampctl/core/clock.h"
#include "stampctl/sim/paper_board.h"

namespace stampctl::sim {
namespace {

const cv::Size kDocumentSize{kPhotoWidth, kPhotoHeight};
const cv::Size kEnvironmentSize{640, 480};
// A real camera never hands over a frame in no time at all. On a virtual clock, where the
// frame interval passes at once, this short real pause keeps a capture loop from spinning.
constexpr std::chrono::milliseconds kRealFramePause{2};

// What a real camera's read relies on and first builds during a read (a video back-end, the
// image codecs) is destroyed at exit before the controller that was built earlier. A read after
// it has gone ends the process with its own code, which a test of the exit can tell apart.
constexpr int kReadAfterTeardown = 70;
constexpr std::chrono::milliseconds kLateReadWait{500};

std::atomic<bool>& backEndGone()
{
    static auto* gone = new std::atomic<bool>(false);  // outlives the back-end it watches
    return *gone;
}

struct ReadBackEnd {
    ~ReadBackEnd()
    {
        backEndGone() = true;
        // A capture thread still running reads again within a few real milliseconds.
        if (documentCamera().held() || environmentCamera().held()) std::this_thread::sleep_for(kLateReadWait);
    }
};

void useReadBackEnd()
{
    static ReadBackEnd builtByTheFirstRead;
    if (backEndGone()) {
        std::fputs("camera read after its back-end was destroyed\n", stderr);
        std::_Exit(kReadAfterTeardown);
    }
}

int lastDigit(const std::string& deviceName)
{
    if (deviceName.empty()) return 0;
    const char last[2] = {deviceName.back(), '\0'};
    return static_cast<int>(std::strtol(last, nullptr, 10));
}

bool isPictureName(const std::string& name)
{
    std::string ext = name.substr(name.find_last_of('.') + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == "jpg" || ext == "jpeg" || ext == "png" || ext == "bmp" || ext == "tif" || ext == "tiff";
}

// The replayed photos: the list is read once per value of the variable, one picture at a time.
class Replay {
public:
    cv::Mat picture(uint64_t turn)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        refreshList();
        if (m_files.empty()) return {};
        const size_t index = turn % m_files.size();
        if (index != m_loadedIndex || m_loaded.empty()) {
            m_loaded = cv::imread(m_files[index], cv::IMREAD_COLOR);
            m_loadedIndex = index;
        }
        return m_loaded;
    }
    std::vector<std::string> files()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        refreshList();
        return m_files;
    }

private:
    void refreshList()
    {
        const char* env = std::getenv(kSimPhotosEnv);
        const std::string value = env ? env : "";
        if (value == m_source) return;
        m_source = value;
        m_files.clear();
        m_loaded.release();
        m_loadedIndex = 0;
        struct stat st {};
        if (value.empty() || ::stat(value.c_str(), &st) != 0) return;
        if (!S_ISDIR(st.st_mode)) {
            m_files.push_back(value);
            return;
        }
        if (DIR* dir = ::opendir(value.c_str())) {
            while (const dirent* e = ::readdir(dir))
                if (e->d_name[0] != '.' && isPictureName(e->d_name)) m_files.push_back(value + "/" + e->d_name);
            ::closedir(dir);
        }
        std::sort(m_files.begin(), m_files.end());
    }

    std::mutex m_lock;
    std::string m_source;
    std::vector<std::string> m_files;
    cv::Mat m_loaded;
    size_t m_loadedIndex = 0;
};

Replay& replay()
{
    static Replay r;
    return r;
}

cv::Mat documentScene(cv::Size size, uint64_t framesTaken)
{
    cv::Mat photo = replay().picture(framesTaken);
    return photo.empty() ? paperBoard().render(size) : photo;
}

struct EnvironmentPicture {
    std::mutex lock;
    cv::Mat cached;
};

EnvironmentPicture& environmentPicture()
{
    static EnvironmentPicture picture;
    return picture;
}

// A room behind the machine: a wall, a floor, a door and somebody in front of it.
cv::Mat environmentScene(cv::Size size, uint64_t)
{
    EnvironmentPicture& pic = environmentPicture();
    std::lock_guard<std::mutex> guard(pic.lock);
    cv::Mat& cached = pic.cached;
    if (cached.size() == size) return cached;
    cv::Mat scene(size, CV_8UC3, cv::Scalar(190, 200, 205));
    const int w = size.width, h = size.height;
    cv::rectangle(scene, {0, h * 3 / 4, w, h - h * 3 / 4}, cv::Scalar(90, 110, 130), cv::FILLED);
    cv::rectangle(scene, {w / 10, h / 5, w / 6, h * 11 / 20}, cv::Scalar(60, 80, 120), cv::FILLED);
    cv::circle(scene, {w / 2, h * 2 / 5}, std::max(1, h / 10), cv::Scalar(120, 160, 210), cv::FILLED);
    cv::rectangle(scene, {w / 2 - w / 10, h / 2, w / 5, h / 2}, cv::Scalar(150, 70, 40), cv::FILLED);
    cached = scene;
    return cached;
}

class SimDevice : public camera::VideoDevice {
public:
    ~SimDevice() override { release(); }
    bool open(int index) override
    {
        release();
        for (SimCamera* cam : {&documentCamera(), &environmentCamera()})
            if (lastDigit(cam->deviceName()) == index && cam->hostOpen()) {
                m_cam = cam;
                return true;
            }
        return false;
    }
    bool isOpened() const override { return m_cam != nullptr; }
    bool set(int propId, double value) override
    {
        if (!m_cam) return false;
        m_cam->hostSet(propId, value);
        return true;
    }
    bool read(cv::Mat& frame) override
    {
        if (!m_cam) {
            frame.release();
            return false;
        }
        return m_cam->hostRead(frame);
    }
    void release() override
    {
        if (m_cam) m_cam->hostRelease();
        m_cam = nullptr;
    }
    void frameTaken() override
    {
        if (m_cam) m_cam->hostFrameTaken();
    }

private:
    SimCamera* m_cam = nullptr;
};

class SimPlatform : public camera::CameraPlatform {
public:
    std::vector<camera::CameraInfo> availableCameras() override
    {
        std::vector<camera::CameraInfo> list;
        for (SimCamera* cam : {&documentCamera(), &environmentCamera()})
            if (cam->plugged()) list.push_back({cam->deviceName(), cam->description()});
        return list;
    }
    std::unique_ptr<camera::VideoDevice> makeDevice() override { return std::make_unique<SimDevice>(); }
};

}  // namespace

SimCamera::SimCamera(std::string deviceName, std::string description, cv::Size defaultSize, Scene scene)
    : m_deviceName(std::move(deviceName)),
      m_description(std::move(description)),
      m_defaultSize(defaultSize),
      m_scene(std::move(scene))
{
}

void SimCamera::resetToDefault()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_plugged = true;
    m_holdReads = false;
    m_stallMs = 0;
    m_emptyFrames = 0;
    m_failOpens = 0;
    m_frameIntervalMs = 66;
    m_opens = 0;
    m_readsStarted = 0;
    m_framesTaken = 0;
    m_changed.notify_all();
}

void SimCamera::setPlugged(bool plugged)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_plugged = plugged;
}

void SimCamera::stallNextRead(int64_t ms)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_stallMs = ms;
}

void SimCamera::deliverEmptyFrames(int count)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_emptyFrames = count;
}

void SimCamera::failNextOpens(int count)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_failOpens = count;
}

void SimCamera::holdReads(bool hold)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_holdReads = hold;
    m_changed.notify_all();
}

bool SimCamera::waitForReadsStarted(uint64_t count, int64_t realTimeoutMs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(realTimeoutMs), [&] { return m_readsStarted >= count; });
}

bool SimCamera::waitForHeldRead(int64_t realTimeoutMs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(realTimeoutMs), [&] { return m_readsHeld > 0; });
}

void SimCamera::setFrameIntervalMs(int64_t ms)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_frameIntervalMs = std::max<int64_t>(ms, 1);
}

bool SimCamera::plugged() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_plugged;
}

bool SimCamera::held() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_held;
}

int SimCamera::opens() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_opens;
}

uint64_t SimCamera::readsStarted() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_readsStarted;
}

uint64_t SimCamera::framesTaken() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_framesTaken;
}

cv::Size SimCamera::requestedSize() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_requested;
}

double SimCamera::fourcc() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_fourcc;
}

bool SimCamera::hostOpen()
{
    std::lock_guard<std::mutex> lock(m_lock);
    // A video device streams to one reader at a time.
    if (!m_plugged || m_held) return false;
    if (m_failOpens > 0) {
        --m_failOpens;
        return false;
    }
    m_held = true;
    ++m_opens;
    m_requested = cv::Size();
    m_fourcc = 0;
    return true;
}

void SimCamera::hostRelease()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_held = false;
}

void SimCamera::hostSet(int propId, double value)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (propId == cv::CAP_PROP_FRAME_WIDTH) m_requested.width = static_cast<int>(value);
    if (propId == cv::CAP_PROP_FRAME_HEIGHT) m_requested.height = static_cast<int>(value);
    if (propId == cv::CAP_PROP_FOURCC) m_fourcc = value;
}

cv::Size SimCamera::frameSize() const
{
    return {m_requested.width > 0 ? m_requested.width : m_defaultSize.width,
            m_requested.height > 0 ? m_requested.height : m_defaultSize.height};
}

bool SimCamera::hostRead(cv::Mat& frame)
{
    useReadBackEnd();
    std::unique_lock<std::mutex> lock(m_lock);
    ++m_readsStarted;
    m_changed.notify_all();
    const bool gone = !m_plugged;
    const bool empty = gone || m_emptyFrames > 0;
    if (!gone && m_emptyFrames > 0) --m_emptyFrames;
    // Frames come on the camera's own beat: a read waits for the next one due, not for a whole
    // interval after it was asked.
    const int64_t wait = m_stallMs > 0 ? m_stallMs : m_frameIntervalMs - stampctl::nowMs() % m_frameIntervalMs;
    m_stallMs = 0;
    const cv::Size size = frameSize();
    const uint64_t taken = m_framesTaken;
    lock.unlock();

    // The picture is the scene as it was when the read began.
    cv::Mat picture = empty ? cv::Mat() : m_scene(size, taken);
    lock.lock();
    if (m_holdReads) {
        ++m_readsHeld;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return !m_holdReads; });
        --m_readsHeld;
    }
    lock.unlock();

    stampctl::sleepMs(wait);
    std::this_thread::sleep_for(kRealFramePause);
    frame = picture;
    return !frame.empty();
}

void SimCamera::hostFrameTaken()
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_framesTaken;
}

SimCamera& documentCamera()
{
    static SimCamera cam("/dev/video0", "USB Camera: USB Camera", kDocumentSize, documentScene);
    return cam;
}

SimCamera& environmentCamera()
{
    static SimCamera cam("/dev/video2", "GWI Camera: GWI Camera", kEnvironmentSize, environmentScene);
    return cam;
}

camera::CameraPlatform& cameraPlatform()
{
    // The cameras and the board exist before the platform does: a controller that asks for the
    // platform while it is built is destroyed (and closes its cameras) before they are.
    documentCamera();
    environmentCamera();
    paperBoard();
    replay();
    environmentPicture();
    static SimPlatform platform;
    return platform;
}

bool simPhotosNamed()
{
    const char* env = std::getenv(kSimPhotosEnv);
    return env && *env;
}

std::vector<std::string> simPhotoFiles() { return replay().files(); }

}  // namespace stampctl::sim
