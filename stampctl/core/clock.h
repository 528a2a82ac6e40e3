// The one clock of the library. Every wait, pause and time limit asks it, so that tests can put
// a virtual clock in its place and run minutes of machine time in an instant.
#pragma once

#include <atomic>
#include <cstdint>

namespace stampctl {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a clock that never jumps; only differences mean anything.
    virtual int64_t monotonicMs() = 0;
    // Milliseconds since the Unix epoch: the calendar time that names trace files.
    virtual int64_t wallMs() = 0;
    virtual void sleepMs(int64_t ms) = 0;
};

// The clock in force: the real one unless a test has installed another.
Clock& clock();
// Installs `replacement` (not owned); nullptr goes back to the real clock.
void setClock(Clock* replacement);

inline int64_t nowMs() { return clock().monotonicMs(); }
inline void sleepMs(int64_t ms) { clock().sleepMs(ms); }

// A clock that moves only when slept on or advanced: a sleep returns at once and the time has
// passed for everybody.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(int64_t wallStartMs = 1767225600000 /* 2026-01-01 00:00 UTC */)
        : m_mono(0), m_wallOffset(wallStartMs)
    {
    }
    int64_t monotonicMs() override { return m_mono.load(); }
    int64_t wallMs() override { return m_wallOffset.load() + m_mono.load(); }
    void sleepMs(int64_t ms) override
    {
        if (ms > 0) m_mono.fetch_add(ms);
    }
    void advance(int64_t ms) { sleepMs(ms); }
    void setWallMs(int64_t wall) { m_wallOffset.store(wall - m_mono.load()); }

private:
    std::atomic<int64_t> m_mono;
    std::atomic<int64_t> m_wallOffset;
};

// Installs a clock for the lifetime of a scope (tests).
class ScopedClock {
public:
    explicit ScopedClock(Clock* c) { setClock(c); }
    ~ScopedClock() { setClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace stampctl
