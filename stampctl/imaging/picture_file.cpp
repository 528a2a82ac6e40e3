#include "stampctl/imaging/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include <opencv2/imgcodecs.hpp>

#include "stampctl/core/paths.h"

namespace stampctl::imaging {

namespace {

// Beside the final file, hidden, unique to this process and call, and ending in the same
// extension (the encoder goes by it): "cut/.photo.bmp.1234-7.bmp".
std::string temporaryNameFor(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
    return dir + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ext;
}

bool writeAll(int fd, const std::vector<uchar>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool writePicture(const std::string& path, const cv::Mat& picture, const std::vector<int>& params)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;

    // Written whole under another name and then renamed over the old file, so that a reader (or
    // whatever a crash leaves behind) sees the old picture or the new one, never part of one.
    // The file first: a place that cannot be written fails before the picture is encoded.
    const std::string temporary = temporaryNameFor(path);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kSharedFileMode);
    if (fd < 0) return false;
    bool written = false;
    try {
        std::vector<uchar> bytes;
        written = cv::imencode(path.substr(dot), picture, bytes, params) && writeAll(fd, bytes);
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    written = ::close(fd) == 0 && written;
    // The umask may have taken the group's write permission: the next operator rewrites it.
    if (written) ::chmod(temporary.c_str(), kSharedFileMode);
    if (written && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

cv::Mat readPicture(const std::string& path, int flags) { return cv::imread(path, flags); }

}  // namespace stampctl::imaging
