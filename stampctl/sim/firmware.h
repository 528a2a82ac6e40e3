// The machine's firmware: takes one request frame, changes its state, and answers with one reply
// frame (or keeps silent). Commands are looked up in a table (firmware_commands.cpp), one
// handler per command, so new commands are new rows. Not thread-safe: SimMachine locks around it.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "stampctl/sim/machine_state.h"

namespace stampctl::sim {

// A set or query as the firmware reads it.
struct Request {
    uint8_t kind = 0;
    uint8_t code = 0;           // body byte 1 (frame offset 5)
    std::vector<uint8_t> args;  // body bytes from frame offset 6 up to the checksum

    uint8_t sub() const { return args.empty() ? 0 : args[0]; }
};

// What a handler decides: carry the request out and answer with `data`, or refuse it.
struct Outcome {
    bool refused = false;
    std::vector<uint8_t> data;  // reply data (frame offset 7 on), at most 56 bytes

    static Outcome ok(std::vector<uint8_t> data = {}) { return Outcome{false, std::move(data)}; }
    static Outcome refuse() { return Outcome{true, {}}; }
};

class Firmware;
using Handler = Outcome (*)(Firmware&, const Request&);

struct CommandEntry {
    uint8_t kind;
    uint8_t code;
    bool backupServes;  // the backup board carries it out too
    Handler handler;
    const char* name;
};

// Every command the firmware knows.
const std::vector<CommandEntry>& commandTable();

// A queue of status phases played on the clock and by heartbeats.
class PhaseQueue {
public:
    void start(const std::vector<StatusPhase>& phases, int64_t nowMs);
    void clear() { m_phases.clear(); }
    // The phase in force at nowMs (phases whose time is up are dropped first); null when done.
    const StatusPhase* current(int64_t nowMs);
    // One heartbeat reported the current phase.
    void countHeartbeat(int64_t nowMs);
    bool active(int64_t nowMs) { return current(nowMs) != nullptr; }

private:
    std::deque<StatusPhase> m_phases;
    int64_t m_phaseStartMs = 0;
    int m_heartbeatsSeen = 0;
};

class Firmware {
public:
    Firmware();

    // Power on with this state: everything transient (scripts, transfers in progress) is gone.
    void powerOn(const MachineState& state);

    // One request frame as it arrived; the reply frame, or nothing when the firmware ignores the
    // transfer (garbled header, wrong checksum, too short).
    std::optional<std::vector<unsigned char>> receive(const unsigned char* frame, size_t len);

    MachineState& state() { return m_state; }
    const MachineState& state() const { return m_state; }

    void scriptStatus(const std::vector<StatusPhase>& phases);
    // The status bytes the next heartbeat carries; a heartbeat also counts against its phase.
    StatusRecord peekStatus();
    int heartbeats() const { return m_heartbeats; }

    // ---- for the command handlers ----------------------------------------------------------------
    int64_t now() const;
    // Machine-driven status phases (a reset, a stamp); a test's script overrides them.
    void startActivity(const std::vector<StatusPhase>& phases);
    bool busy();  // an activity or a scripted state other than ready is in force
    void openDoor(Door door, int openTime);
    // The seal-information block arriving in chunks.
    Outcome writeSealInfoChunk(uint8_t index, const uint8_t* chunk, size_t len);
    Outcome readSealInfoChunk(uint8_t index) const;

private:
    void settle();  // lets the clock act: doors fall shut
    StatusRecord compose(const StatusRecord& base);
    std::vector<unsigned char> heartbeatReply();
    std::vector<unsigned char> commandReply(const Request& rq, const unsigned char* frame);

    MachineState m_state;
    PhaseQueue m_script;
    PhaseQueue m_activity;
    int m_heartbeats = 0;
    std::vector<uint8_t> m_sealWrite;  // the block message being written, length prefix first
    bool m_sealWriteOpen = false;
};

}  // namespace stampctl::sim
