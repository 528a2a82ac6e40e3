// Live events for the Server-Sent Events stream: every listener has a queue of its own, so a
// slow one never holds up the machine or the others.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

namespace stampctl_serve {

class Events {
public:
    class Listener {
    public:
        // The next event as SSE text, or nothing after `wait` (time for a keep-alive) or once the
        // listener is closed (then `closed()`).
        std::optional<std::string> next(std::chrono::milliseconds wait);
        bool closed();

    private:
        friend class Events;
        std::mutex m_lock;
        std::condition_variable m_wake;
        std::deque<std::string> m_queue;
        bool m_closed = false;
    };

    std::shared_ptr<Listener> listen();
    void leave(const std::shared_ptr<Listener>& listener);
    int listeners();

    // Sends `name` with `data` to every listener; one that lets too many pile up is dropped.
    void publish(const std::string& name, const nlohmann::json& data);
    // Sends one event to one listener only (the state it starts from).
    void greet(const std::shared_ptr<Listener>& listener, const std::string& name, const nlohmann::json& data);
    // Ends every stream (the service stops).
    void closeAll();

private:
    std::string format(const std::string& name, const nlohmann::json& data);
    static void push(Listener& listener, std::string text);

    std::mutex m_lock;
    std::set<std::shared_ptr<Listener>> m_listeners;
    long long m_nextId = 1;
};

}  // namespace stampctl_serve
