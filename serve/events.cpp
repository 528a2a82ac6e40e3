#include "serve/events.h"

namespace stampctl_serve {

namespace {

// A listener this far behind is gone or stalled; it is closed rather than buffered for ever.
constexpr size_t kMaxQueued = 256;

}  // namespace

std::optional<std::string> Events::Listener::next(std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_wake.wait_for(lock, wait, [this] { return m_closed || !m_queue.empty(); });
    if (m_queue.empty()) return std::nullopt;
    std::string text = std::move(m_queue.front());
    m_queue.pop_front();
    return text;
}

bool Events::Listener::closed()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_closed;
}

std::shared_ptr<Events::Listener> Events::listen()
{
    auto listener = std::make_shared<Listener>();
    std::lock_guard<std::mutex> guard(m_lock);
    m_listeners.insert(listener);
    return listener;
}

void Events::leave(const std::shared_ptr<Listener>& listener)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_listeners.erase(listener);
}

int Events::listeners()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<int>(m_listeners.size());
}

std::string Events::format(const std::string& name, const nlohmann::json& data)
{
    return "event: " + name + "\nid: " + std::to_string(m_nextId++) +
           "\ndata: " + data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n\n";
}

void Events::push(Listener& listener, std::string text)
{
    {
        std::lock_guard<std::mutex> guard(listener.m_lock);
        if (listener.m_queue.size() >= kMaxQueued) {
            listener.m_closed = true;
        } else {
            listener.m_queue.push_back(std::move(text));
        }
    }
    listener.m_wake.notify_all();
}

void Events::publish(const std::string& name, const nlohmann::json& data)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const std::string text = format(name, data);
    for (const auto& listener : m_listeners) push(*listener, text);
}

void Events::greet(const std::shared_ptr<Listener>& listener, const std::string& name, const nlohmann::json& data)
{
    std::lock_guard<std::mutex> guard(m_lock);
    push(*listener, format(name, data));
}

void Events::closeAll()
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (const auto& listener : m_listeners) {
        {
            std::lock_guard<std::mutex> inner(listener->m_lock);
            listener->m_closed = true;
        }
        listener->m_wake.notify_all();
    }
}

}  // namespace stampctl_serve
