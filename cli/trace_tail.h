// The lines the library adds to today's trace file while this run lasts: for --verbose, and for
// the steps that a long operation's progress line names.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace stampctl_cli {

// Reads the day's trace file from where it ended when constructed.
class TraceTail {
public:
    TraceTail();
    // The whole lines added since the last call.
    std::vector<std::string> newLines();

private:
    std::string m_path;
    long long m_offset = 0;
    std::string m_partial;
};

// With --verbose: copies the trace lines of the run to standard error while it lasts (lines that
// other programs trace at the same time come along).
class TraceEcho {
public:
    explicit TraceEcho(bool verbose);
    ~TraceEcho();
    TraceEcho(const TraceEcho&) = delete;
    TraceEcho& operator=(const TraceEcho&) = delete;

private:
    void copy();

    TraceTail m_tail;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;  // under m_lock
    std::thread m_thread;
};

}  // namespace stampctl_cli
