#include "stampctl/core/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "stampctl/core/clock.h"
#include "stampctl/core/paths.h"

namespace {

constexpr size_t kDayFileSize = 64;
constexpr size_t kStampSize = 100;

// A day's file is shared by every user who traces that day.
int openDayFile(const char* path)
{
    const int created = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, stampctl::kSharedFileMode);
    if (created >= 0) {
        ::fchmod(created, stampctl::kSharedFileMode);
        return created;
    }
    return ::open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
}

// Appends one whole line with a single write, so that lines of concurrent threads can follow
// each other in any order but never mix inside a line.
void appendLine(const char* head, const char* body, const char* sep = "", const char* tail = "")
{
    try {
        const int64_t wall = stampctl::clock().wallMs();
        const time_t seconds = static_cast<time_t>(wall / 1000);
        const long millis = static_cast<long>(wall % 1000);
        struct tm local {};
        localtime_r(&seconds, &local);

        // The base directory may be long: a path cut to a fixed buffer would name another file.
        char day[kDayFileSize];
        std::snprintf(day, sizeof day, "/log/%04d_%02d_%02d.ini", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday);
        const std::string path = stampctl::baseDir() + day;
        char stamp[kStampSize];
        std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min, local.tm_sec, millis);

        std::string line;
        line.reserve(std::strlen(stamp) + std::strlen(head) + std::strlen(body) + std::strlen(sep) + std::strlen(tail) +
                     1);
        line.append(stamp).append(head).append(body).append(sep).append(tail).push_back('\n');

        const int fd = openDayFile(path.c_str());
        if (fd < 0) return;
        ssize_t ignored = ::write(fd, line.data(), line.size());
        (void)ignored;
        ::close(fd);
    } catch (...) {
        // The trace must never disturb the operation it describes.
    }
}

void formatInto(char* buffer, size_t size, const char* fmt, va_list args)
{
    buffer[0] = '\0';
    if (fmt) std::vsnprintf(buffer, size, fmt, args);
}

}  // namespace

void TrcWritef(int /*level*/, const char* fmt, ...)
{
    char text[stampctl::kTraceTextSize];
    va_list args;
    va_start(args, fmt);
    formatInto(text, sizeof text, fmt, args);
    va_end(args);
    appendLine(" ", text);
}

TRC_LOGER::TRC_LOGER(TRC_TYPE /*type*/, const char* fmt, ...)
{
    m_result[0] = '\0';
    va_list args;
    va_start(args, fmt);
    formatInto(m_entry, sizeof m_entry, fmt, args);
    va_end(args);
    appendLine(" -->", m_entry);
}

TRC_LOGER::~TRC_LOGER() { appendLine(" <--", m_entry, " ", m_result); }

void TRC_LOGER::SetRet(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    formatInto(m_result, sizeof m_result, fmt, args);
    va_end(args);
}
