// The one owner of the machine in the service: it keeps the connection (and makes it again after
// an unplug), lets one operation at a time work on the machine in arrival order, and answers
// status reads from its last poll.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "serve/events.h"
#include "shapes/outcome.h"

namespace stampctl_serve {

using stampctl_shapes::Outcome;

struct MachineSettings {
    std::string code;  // the machine's security code
    std::chrono::milliseconds pollInterval{1000};
    int maxWaiting = 8;  // operations queued behind the one at work; more are told "busy"
};

class MachineOwner {
public:
    MachineOwner(Events& events, MachineSettings settings);
    ~MachineOwner();
    MachineOwner(const MachineOwner&) = delete;
    MachineOwner& operator=(const MachineOwner&) = delete;

    // Connects (a machine that is not there yet is waited for in the background) and starts
    // watching the connection; stop() lets go of the machine.
    void start();
    void stop();

    bool connected() const { return m_connected; }

    // Runs `work` when every operation that came before it has finished. `onTurn` runs as it
    // starts. Without a connection: the link's code, data {"connected": false}; with too many
    // waiting: busy.
    Outcome run(const std::function<Outcome()>& work, const std::function<void()>& onTurn = {});

    // The status from the last poll, without waiting for the machine (but for the very first
    // poll); a poll older than the poll interval makes the watcher poll again at once.
    Outcome status();

private:
    class Turn;

    void watch();
    void tryConnect();
    void poll();
    void lost(int code);
    Outcome disconnected() const;
    void announce(const nlohmann::json& before, const nlohmann::json& after);

    Events& m_events;
    const MachineSettings m_settings;
    std::atomic<bool> m_connected{false};
    std::atomic<int> m_linkCode{-400};

    // Operations in arrival order: each takes a ticket and waits until it is served.
    std::mutex m_queueLock;
    std::condition_variable m_turnChanged;
    uint64_t m_nextTicket = 0;
    uint64_t m_serving = 0;

    // The last poll, under m_statusLock.
    std::mutex m_statusLock;
    std::condition_variable m_pollDone;
    Outcome m_lastStatus;
    std::chrono::steady_clock::time_point m_lastPoll{};
    bool m_polling = false;
    std::atomic<bool> m_pollWanted{false};  // a reader found the last poll old

    std::mutex m_watchLock;
    std::condition_variable m_watchWake;
    bool m_stopping = false;  // under m_watchLock
    std::thread m_watcher;
};

}  // namespace stampctl_serve
