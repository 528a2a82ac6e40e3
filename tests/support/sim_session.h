// A fresh controller talking to the simulated machine, on a virtual clock, with a private base
// directory. Each test case runs in its own process, so the controller built on first use is
// this session's alone.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "stampctl/core/clock.h"
#include "stampctl/seal.h"
#include "stampctl/sim/sim_machine.h"
#include "tests/support/test_env.h"

namespace stampctl::test {

using Bytes = std::vector<unsigned char>;

class SimSession {
public:
    SimSession() : m_scopedClock(&m_clock)
    {
        ::setenv("STAMPCTL_SIMULATOR", "1", 1);
        sim::machine().resetToDefault();
    }

    CSeal& seal() { return *CSeal::Instance(); }
    sim::SimMachine& machine() { return sim::machine(); }
    VirtualClock& clock() { return m_clock; }
    int64_t now() { return m_clock.monotonicMs(); }
    const std::string& base() const { return m_base.path(); }
    void writeFile(const std::string& name, const std::string& text) { m_base.write(name, text); }

    // Connects with the factory access code and forgets what the connection sent.
    int connect()
    {
        const int r = seal()._connMachine("mt5934mt");
        machine().clearLog();
        return r;
    }
    void inject(sim::Fault fault, int times = 1, sim::FaultTarget target = sim::FaultTarget::Command,
                int value = -1)
    {
        sim::FaultSpec spec;
        spec.fault = fault;
        spec.times = times;
        spec.target = target;
        spec.value = value;
        machine().injectFault(spec);
    }
    // The next request carrying `code` is refused by the machine (after `skip` such requests).
    void refuse(int code, int skip = 0)
    {
        sim::FaultSpec spec;
        spec.fault = sim::Fault::Refusal;
        spec.commandCode = code;
        spec.skip = skip;
        machine().injectFault(spec);
    }

    std::vector<Bytes> frames() const { return sim::machine().receivedFrames(); }
    // Frames of kind 2 or 3 carrying `code` at offset 5; the last of them.
    size_t commandsWithCode(unsigned char code) const
    {
        size_t n = 0;
        for (const Bytes& f : frames()) n += f.size() > 5 && f[2] != 1 && f[5] == code;
        return n;
    }
    Bytes lastCommand(unsigned char code) const
    {
        Bytes last;
        for (const Bytes& f : frames())
            if (f.size() > 5 && f[2] != 1 && f[5] == code) last = f;
        return last;
    }
    size_t heartbeats() const
    {
        size_t n = 0;
        for (const Bytes& f : frames()) n += f.size() > 2 && f[2] == 1;
        return n;
    }

private:
    TempBaseDir m_base;
    VirtualClock m_clock;
    ScopedClock m_scopedClock;
};

}  // namespace stampctl::test
