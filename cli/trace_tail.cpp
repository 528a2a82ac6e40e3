#include "trace_tail.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>

#include "session.h"

namespace stampctl_cli {

namespace {

constexpr auto kPoll = std::chrono::milliseconds(100);

// The library's trace file of today: <base>/log/YYYY_MM_DD.ini.
std::string todaysTrace()
{
    const time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char day[64];
    std::snprintf(day, sizeof day, "/log/%04d_%02d_%02d.ini", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return baseDir() + day;
}

void toStderr(const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

}  // namespace

TraceTail::TraceTail() : m_path(todaysTrace())
{
    std::ifstream in(m_path, std::ios::binary | std::ios::ate);
    if (in) m_offset = static_cast<long long>(in.tellg());
}

std::vector<std::string> TraceTail::newLines()
{
    std::vector<std::string> lines;
    std::ifstream in(m_path, std::ios::binary);
    if (!in) return lines;
    in.seekg(m_offset);
    std::string chunk{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    m_offset += static_cast<long long>(chunk.size());
    m_partial += chunk;
    size_t from = 0;
    for (size_t end; (end = m_partial.find('\n', from)) != std::string::npos; from = end + 1)
        lines.push_back(m_partial.substr(from, end - from));
    m_partial.erase(0, from);
    return lines;
}

TraceEcho::TraceEcho(bool verbose)
{
    if (verbose) m_thread = std::thread([this] { copy(); });
}

TraceEcho::~TraceEcho()
{
    if (!m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void TraceEcho::copy()
{
    std::unique_lock<std::mutex> guard(m_lock);
    for (bool last = false; !last;) {
        m_wake.wait_for(guard, kPoll, [this] { return m_stop; });
        last = m_stop;  // one more read after the stop request: the run's final lines
        for (const std::string& line : m_tail.newLines()) toStderr(line + "\n");
    }
}

}  // namespace stampctl_cli
