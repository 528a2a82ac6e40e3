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
    const std::string& base() const { return m_base.path(); }
    void writeFile(const std::string& name, const std::string& text) { m_base.write(name, text); }

    // Connects with the factory access code and forgets what the connection sent.
    int connect()
    {
        const int r = seal()._connMachine("mt5934mt");
        machine().clearLog();
        return r;
    }
    std::vector<Bytes> frames() const { return sim::machine().receivedFrames(); }
    // Frames of kind 2 or 3 carrying `code` at offset 5.
    size_t commandsWithCode(unsigned char code) const
    {
        size_t n = 0;
        for (const Bytes& f : frames())
            if (f.size() > 5 && f[2] != 1 && f[5] == code) ++n;
        return n;
    }
    size_t heartbeats() const
    {
        size_t n = 0;
        for (const Bytes& f : frames())
            if (f.size() > 2 && f[2] == 1) ++n;
        return n;
    }
    // Trace lines without their time stamp and the blank after it.
    std::vector<std::string> traceLines() const
    {
        std::vector<std::string> lines;
        for (const std::string& body : traceBodies(base()))
            lines.push_back(!body.empty() && body[0] == ' ' ? body.substr(1) : body);
        return lines;
    }
    size_t tracedCount(const std::string& line) const
    {
        size_t n = 0;
        for (const std::string& l : traceLines())
            if (l == line) ++n;
        return n;
    }
    bool traced(const std::string& line) const { return tracedCount(line) > 0; }

private:
    TempBaseDir m_base;
    VirtualClock m_clock;
    ScopedClock m_scopedClock;
};

}  // namespace stampctl::test
