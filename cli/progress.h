// A spinner on standard error while the machine works for seconds or a minute (stamping, reset,
// automatic calibration). Only on a terminal, and not with --quiet.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "session.h"

namespace stampctl_cli {

class Progress {
public:
    // `step`, when given, is asked at each turn what is being done now.
    Progress(const Options& options, std::string label, Step step = {});
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

private:
    void spin();

    std::string m_label;
    Step m_step;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;  // under m_lock
    std::thread m_thread;
};

}  // namespace stampctl_cli
