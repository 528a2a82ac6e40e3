#include "stampctl/core/clock.h"

#include <chrono>
#include <thread>

namespace stampctl {
namespace {

class RealClock : public Clock {
public:
    int64_t monotonicMs() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    int64_t wallMs() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    }
    void sleepMs(int64_t ms) override
    {
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

RealClock g_realClock;
std::atomic<Clock*> g_clock{&g_realClock};

}  // namespace

Clock& clock() { return *g_clock.load(std::memory_order_acquire); }

void setClock(Clock* replacement)
{
    g_clock.store(replacement ? replacement : &g_realClock, std::memory_order_release);
}

}  // namespace stampctl
