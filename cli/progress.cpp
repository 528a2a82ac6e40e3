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

Progress::Progress(const Options& options, std::string label, Step step)
    : m_label(std::move(label)), m_step(std::move(step))
{
    // With --verbose the trace lines themselves show the progress.
    if (!options.quiet && !options.verbose && ::isatty(STDERR_FILENO)) m_thread = std::thread([this] { spin(); });
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
    std::string doing = m_label;
    std::unique_lock<std::mutex> guard(m_lock);
    for (size_t frame = 0; !m_stop; ++frame) {
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
        if (m_step) {
            const std::string now = m_step();
            if (!now.empty()) doing = m_label + ": " + now;
        }
        char line[200];
        std::snprintf(line, sizeof line, "%s%c %s %llds", kClearLine, kFrames[frame % kFrameCount], doing.c_str(),
                      static_cast<long long>(seconds));
        put(line);
        m_wake.wait_for(guard, kTick, [this] { return m_stop; });
    }
}

}  // namespace stampctl_cli
