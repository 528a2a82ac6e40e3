// A fresh controller talking to the simulated machine, on a virtual clock, with a private base
// directory. Each test case runs in its own process, so the controller built on first use is
// this session's alone. Includes what the tests on it commonly need.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "stampctl/core/clock.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/seal.h"
#include "stampctl/sim/sim_machine.h"
#include "stampctl/stampctl.h"
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
    // The capture threads wait on this session's clock: they stop before it goes.
    ~SimSession()
    {
        closeVideoCap();
        closeEnvVideoCap();
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
        const int r = connMachine("mt5934mt");
        machine().clearLog();
        return r;
    }
    void inject(sim::Fault fault, int times = 1, sim::FaultTarget target = sim::FaultTarget::Command, int value = -1)
    {
        machine().injectFault(sim::FaultSpec{fault, times, target, -1, 0, value});
    }
    // The next request carrying `code` meets `fault` (after `skip` such requests).
    void injectAt(int code, int skip = 0, sim::Fault fault = sim::Fault::Refusal)
    {
        machine().injectFault(sim::FaultSpec{fault, 1, sim::FaultTarget::Any, code, skip});
    }
    void refuse(int code) { injectAt(code); }

    std::vector<Bytes> frames() const { return sim::machine().receivedFrames(); }
    // Frames of kind 2 or 3 carrying `code` at offset 5 (-1: the heartbeats instead).
    std::vector<Bytes> framesWithCode(int code) const
    {
        std::vector<Bytes> out;
        for (const Bytes& f : frames())
            if (code < 0 ? f[2] == 1 : f.size() > 5 && f[2] != 1 && f[5] == code) out.push_back(f);
        return out;
    }
    size_t commandsWithCode(unsigned char code) const { return framesWithCode(code).size(); }
    size_t heartbeats() const { return framesWithCode(-1).size(); }
    Bytes lastCommand(unsigned char code) const
    {
        const auto all = framesWithCode(code);
        return all.empty() ? Bytes() : all.back();
    }

private:
    TempBaseDir m_base;
    VirtualClock m_clock;
    ScopedClock m_scopedClock;
};

// A test on a session connected with the factory code.
class Connected : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(s.connect(), EC_OK); }
    SimSession s;
};

}  // namespace stampctl::test
