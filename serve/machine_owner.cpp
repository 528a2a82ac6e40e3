#include "serve/machine_owner.h"

#include <chrono>

#include "serve/utc_time.h"
#include "shapes/machine.h"
#include "stampctl/stampctl.h"

namespace stampctl_serve {

namespace {

using nlohmann::json;
using stampctl_shapes::failure;

json withoutTime(json data)
{
    if (data.is_object()) data.erase("polled_at");
    return data;
}

}  // namespace

// One place in the queue, held from the ticket to the end of the work.
class MachineOwner::Turn {
public:
    explicit Turn(MachineOwner& owner) : m_owner(owner) {}
    // false when too many are waiting already.
    bool take()
    {
        std::unique_lock<std::mutex> lock(m_owner.m_queueLock);
        if (m_owner.m_nextTicket - m_owner.m_serving > static_cast<uint64_t>(m_owner.m_settings.maxWaiting))
            return false;
        const uint64_t ticket = m_owner.m_nextTicket++;
        m_owner.m_turnChanged.wait(lock, [&] { return m_owner.m_serving == ticket; });
        m_taken = true;
        return true;
    }
    ~Turn()
    {
        if (!m_taken) return;
        {
            std::lock_guard<std::mutex> guard(m_owner.m_queueLock);
            ++m_owner.m_serving;
        }
        m_owner.m_turnChanged.notify_all();
    }

private:
    MachineOwner& m_owner;
    bool m_taken = false;
};

MachineOwner::MachineOwner(Events& events, MachineSettings settings) : m_events(events), m_settings(std::move(settings))
{
}

MachineOwner::~MachineOwner() { stop(); }

void MachineOwner::start()
{
    tryConnect();
    m_watcher = std::thread([this] { watch(); });
}

void MachineOwner::stop()
{
    {
        std::lock_guard<std::mutex> guard(m_watchLock);
        if (m_stopping) return;
        m_stopping = true;
    }
    m_watchWake.notify_all();
    if (m_watcher.joinable()) m_watcher.join();
    Turn turn(*this);
    turn.take();
    disconnMachine();
    m_connected = false;
}

// Once a poll interval: without a connection, try to make it; with one, poll the status while
// someone listens to the events, or at once when a reader found the last poll old.
void MachineOwner::watch()
{
    std::unique_lock<std::mutex> lock(m_watchLock);
    while (!m_stopping) {
        m_watchWake.wait_for(lock, m_settings.pollInterval, [this] { return m_stopping || m_pollWanted; });
        if (m_stopping) break;
        const bool wanted = m_pollWanted.exchange(false);
        lock.unlock();
        if (!m_connected)
            tryConnect();
        else if (wanted || m_events.listeners() > 0)
            poll();
        lock.lock();
    }
}

void MachineOwner::tryConnect()
{
    Turn turn(*this);
    turn.take();
    // A link that failed may still be half open: let go of it before opening it again.
    disconnMachine();
    const int code = connMachine(m_settings.code.c_str());
    if (code != 0) {
        if (code != m_linkCode) m_linkCode = code;
        return;
    }
    m_connected = true;
    m_events.publish("connection", {{"connected", true}, {"code", 0}, {"message", geterrMsg(0)}});
    {
        std::lock_guard<std::mutex> guard(m_statusLock);
        m_lastPoll = {};
    }
    if (m_events.listeners() > 0) poll();
}

void MachineOwner::lost(int code)
{
    m_linkCode = code;
    if (!m_connected.exchange(false)) return;
    m_events.publish("connection", {{"connected", false}, {"code", code}, {"message", geterrMsg(code)}});
    m_watchWake.notify_all();
}

Outcome MachineOwner::disconnected() const
{
    Outcome outcome = failure(m_linkCode, {{"connected", false}});
    outcome.detail = "the machine is not connected; the service reconnects when it answers again";
    return outcome;
}

void MachineOwner::announce(const json& before, const json& after)
{
    if (withoutTime(before) == withoutTime(after)) return;
    m_events.publish("status", after);
    if (!before.is_object()) return;
    for (const char* door : {"paper", "side"}) {
        const std::string key = std::string(door) + "_door";
        if (before[key] != after[key] && after[key] != "fault")
            m_events.publish("door", {{"door", door}, {"state", after[key]}});
    }
    const json& was = before["fault"];
    const json& now = after["fault"];
    if (was == now) return;
    if (!was.is_null())
        m_events.publish("fault", {{"state", "cleared"}, {"code", was["code"]}, {"message", was["message"]}});
    if (!now.is_null())
        m_events.publish("fault", {{"state", "raised"}, {"code", now["code"]}, {"message", now["message"]}});
}

// Reads the doors on the caller's thread, outside the queue: the library lets exchanges take
// turns, so a poll waits for at most one exchange of a stamp at work, never for the whole stamp.
void MachineOwner::poll()
{
    Outcome now = stampctl_shapes::status();
    if (stampctl_shapes::isLinkFailure(now.code)) {
        lost(now.code);
        return;
    }
    now.data["polled_at"] = utcNow();
    json before;
    {
        std::lock_guard<std::mutex> guard(m_statusLock);
        before = m_lastStatus.data;
        if (m_lastStatus.code != 0 || m_lastPoll == std::chrono::steady_clock::time_point{}) before = json();
        m_lastStatus = now;
        m_lastPoll = std::chrono::steady_clock::now();
    }
    if (now.code == 0) announce(before, now.data);
}

Outcome MachineOwner::status()
{
    if (!m_connected) return disconnected();
    std::unique_lock<std::mutex> lock(m_statusLock);
    if (m_lastPoll == std::chrono::steady_clock::time_point{}) {
        // Nothing polled yet: the first reader asks the machine, the others wait for its answer.
        if (m_polling) {
            m_pollDone.wait(lock, [this] { return !m_polling; });
        } else {
            m_polling = true;
            lock.unlock();
            poll();
            lock.lock();
            m_polling = false;
            m_pollDone.notify_all();
        }
    } else if (std::chrono::steady_clock::now() - m_lastPoll >= m_settings.pollInterval && !m_pollWanted) {
        // Older than a poll interval: the watcher polls now, and this reader gets the last poll.
        m_pollWanted = true;
        m_watchWake.notify_all();
    }
    if (!m_connected) return disconnected();
    return m_lastStatus;
}

Outcome MachineOwner::run(const std::function<Outcome()>& work, const std::function<void()>& onTurn)
{
    if (!m_connected) return disconnected();
    Turn turn(*this);
    if (!turn.take()) {
        Outcome outcome = failure(-8008);
        outcome.detail = "more operations are waiting than the machine queues";
        return outcome;
    }
    if (!m_connected) return disconnected();
    if (onTurn) onTurn();
    Outcome outcome = work();
    if (stampctl_shapes::isLinkFailure(outcome.code)) {
        lost(outcome.code);
        outcome.data["connected"] = false;
    }
    return outcome;
}

}  // namespace stampctl_serve
