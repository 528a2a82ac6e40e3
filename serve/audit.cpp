#include "serve/audit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>

#include "shapes/outcome.h"

namespace stampctl_serve {

namespace {

constexpr mode_t kAuditMode = 0640;  // the group reads the trail; only the service writes it

std::string utcNow()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const time_t seconds = system_clock::to_time_t(now);
    const int millis = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    struct tm utc {};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

bool writeAll(int fd, const std::string& bytes)
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

// A power loss in the middle of an append can leave the file ending in part of a line. That tail
// is no record: cut it off before adding one, so that every line of the file is whole.
void dropUnfinishedTail(int fd)
{
    const off_t size = ::lseek(fd, 0, SEEK_END);
    off_t end = size;
    char c = '\n';
    while (end > 0 && ::pread(fd, &c, 1, end - 1) == 1 && c != '\n') --end;
    if (end != size) (void)!::ftruncate(fd, end);
}

}  // namespace

std::string auditDir() { return stampctl_shapes::baseDir() + "/log"; }

std::string Audit::currentFile() const
{
    const time_t now = std::time(nullptr);
    struct tm utc {};
    gmtime_r(&now, &utc);
    char name[64];
    std::snprintf(name, sizeof name, "/audit_%04d_%02d.jsonl", utc.tm_year + 1900, utc.tm_mon + 1);
    return m_dir + name;
}

bool Audit::record(nlohmann::ordered_json record)
{
    nlohmann::ordered_json line;
    line["time"] = utcNow();
    for (auto& [key, value] : record.items()) line[key] = value;
    // One write of the whole line: a process killed mid-way either wrote it or did not.
    const std::string text = line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";

    std::lock_guard<std::mutex> guard(m_lock);
    const std::string path = currentFile();
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, kAuditMode);
    if (fd < 0) return false;
    dropUnfinishedTail(fd);
    const bool written = writeAll(fd, text) && ::fdatasync(fd) == 0;
    ::close(fd);
    return written;
}

}  // namespace stampctl_serve
