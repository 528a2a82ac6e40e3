#include "progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace stampctl_cli {

namespace {

constexpr auto kTick = std::chrono::milliseconds(100);
constexpr const char kFrames[] = "|/-\\";
constexpr size_t kFrameCount = sizeof kFrames - 1;
constexpr const char* kClearLine = "\r\033[K";

void put(const std::string& text) { (void)!::write(STDERR_FILENO, text.data(), text.size()); }

}  // namespace

Progress::Progress(const Options& options, std::string label) : m_label(std::move(label))
{
    if (!options.quiet && ::isatty(STDERR_FILENO)) m_thread = std::thread([this] { spin(); });
}

Progress::~Progress()
{
    if (!m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    put(kClearLine);
}

void Progress::spin()
{
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> guard(m_lock);
    for (size_t frame = 0; !m_stop; ++frame) {
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
        char line[160];
        std::snprintf(line, sizeof line, "\r%c %s %llds", kFrames[frame % kFrameCount], m_label.c_str(),
                      static_cast<long long>(seconds));
        put(line);
        m_wake.wait_for(guard, kTick, [this] { return m_stop; });
    }
}

}  // namespace stampctl_cli
