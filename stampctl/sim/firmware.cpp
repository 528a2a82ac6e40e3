#include "stampctl/sim/firmware.h"

#include <algorithm>

#include "stampctl/core/clock.h"
#include "stampctl/sim/wire.h"

namespace stampctl::sim {
namespace {

// The frame whose length byte announces one byte more than it carries: the alarm-log entry
// query is sent so, and the firmware takes it as it comes.
constexpr uint8_t kCodeAlarmLogEntry = 0x26;

// A seal-information block travels as a 2-byte length and the data, 56 bytes per chunk (54 of
// data in the first). Sub-codes 2 and 3 of the same command code mean the rotation block and
// the bind information, so only chunks 0 and 1 can ever be addressed: 110 bytes of data.
constexpr size_t kSealChunk = wire::kMaxReplyData;
constexpr size_t kSealLengthPrefix = 2;
constexpr size_t kSealInfoCapacity = 2 * kSealChunk - kSealLengthPrefix;

const CommandEntry* findCommand(uint8_t kind, uint8_t code)
{
    for (const CommandEntry& e : commandTable())
        if (e.kind == kind && e.code == code) return &e;
    return nullptr;
}

}  // namespace

// ---- status phases -----------------------------------------------------------------------------

void PhaseQueue::start(const std::vector<StatusPhase>& phases, int64_t nowMs)
{
    m_phases.assign(phases.begin(), phases.end());
    m_phaseStartMs = nowMs;
    m_heartbeatsSeen = 0;
}

const StatusPhase* PhaseQueue::current(int64_t nowMs)
{
    while (!m_phases.empty()) {
        const StatusPhase& p = m_phases.front();
        if (p.durationMs <= 0 || nowMs - m_phaseStartMs < p.durationMs) return &p;
        // A phase on the clock ends on time, whether or not anybody looked.
        m_phaseStartMs += p.durationMs;
        m_heartbeatsSeen = 0;
        m_phases.pop_front();
    }
    return nullptr;
}

void PhaseQueue::countHeartbeat(int64_t nowMs)
{
    if (!current(nowMs)) return;
    const StatusPhase& p = m_phases.front();
    if (p.heartbeats > 0 && ++m_heartbeatsSeen >= p.heartbeats) {
        m_phases.pop_front();
        m_phaseStartMs = nowMs;
        m_heartbeatsSeen = 0;
    }
}

// ---- firmware ----------------------------------------------------------------------------------

Firmware::Firmware() { powerOn(defaultMachineState()); }

void Firmware::powerOn(const MachineState& state)
{
    m_state = state;
    m_script.clear();
    m_activity.clear();
    m_heartbeats = 0;
    m_sealWrite.clear();
    m_sealWriteOpen = false;
}

int64_t Firmware::now() const { return stampctl::nowMs(); }

void Firmware::scriptStatus(const std::vector<StatusPhase>& phases) { m_script.start(phases, now()); }

void Firmware::startActivity(const std::vector<StatusPhase>& phases) { m_activity.start(phases, now()); }

bool Firmware::busy()
{
    settle();
    const int64_t t = now();
    if (const StatusPhase* p = m_script.current(t)) return p->status.stampStatus != kReady;
    return m_activity.active(t) || m_state.baseStatus.stampStatus != kReady;
}

void Firmware::settle()
{
    const int64_t t = now();
    for (DoorState* d : {&m_state.paperDoor, &m_state.sideDoor}) {
        if (d->open && d->closesAtMs >= 0 && t >= d->closesAtMs) {
            d->open = false;
            d->closesAtMs = -1;
        }
    }
}

void Firmware::openDoor(Door door, int openTime)
{
    constexpr int64_t kMsPerUnit = 1000;  // the open time counts in seconds
    DoorState& d = door == Door::Paper ? m_state.paperDoor : m_state.sideDoor;
    d.open = true;
    d.closesAtMs = now() + static_cast<int64_t>(openTime) * kMsPerUnit;
    d.lastOpenTime = openTime;
    ++d.openCount;
}

StatusRecord Firmware::compose(const StatusRecord& base)
{
    StatusRecord s = base;
    const bool activity = m_activity.active(now());
    if (m_state.board == Board::Backup) s.stateFlags |= kStateBackupBoard;
    if (m_state.stampComplete && !activity) s.stateFlags |= kStateStampComplete;
    if (m_state.paperDoor.open) s.doorFlags |= kDoorPaperOpen;
    if (m_state.sideDoor.open) s.doorFlags |= kDoorSideOpen;
    if (m_state.topCoverOpen) s.warn1 |= kWarn1TopCoverOpen;
    if (m_state.abnormalRecords.size() >= m_state.abnormalCapacity) s.warn2 |= kWarn2RecordsFull;
    return s;
}

StatusRecord Firmware::peekStatus()
{
    settle();
    const int64_t t = now();
    if (const StatusPhase* p = m_script.current(t)) return compose(p->status);
    if (const StatusPhase* p = m_activity.current(t)) return compose(p->status);
    return compose(m_state.baseStatus);
}

std::vector<unsigned char> Firmware::heartbeatReply()
{
    const StatusRecord s = peekStatus();
    const int64_t t = now();
    if (m_script.active(t))
        m_script.countHeartbeat(t);
    else
        m_activity.countHeartbeat(t);
    ++m_heartbeats;
    return wire::frame(wire::kKindHeartbeat | wire::kReplyBit,
                       {s.stampStatus, s.stateFlags, s.doorFlags, s.warn1, s.warn2, s.warn3, s.fault});
}

std::vector<unsigned char> Firmware::commandReply(const Request& rq, const unsigned char* frame)
{
    // Whatever comes back repeats the request's lead byte, command code and sub-code.
    const uint8_t sub = rq.args.empty() ? 0 : frame[wire::kOffSub];
    auto refusal = [&] { return wire::frame(wire::kKindRefusal, {wire::kBodyLead, rq.code, sub}); };
    if (frame[wire::kOffLead] != wire::kBodyLead) return refusal();
    const CommandEntry* cmd = findCommand(rq.kind, rq.code);
    if (!cmd) return refusal();
    if (m_state.board == Board::Backup && !cmd->backupServes) return refusal();
    settle();
    Outcome out = cmd->handler(*this, rq);
    if (out.refused || out.data.size() > wire::kMaxReplyData) return refusal();
    std::vector<unsigned char> body{wire::kBodyLead, rq.code, sub};
    body.insert(body.end(), out.data.begin(), out.data.end());
    return wire::frame(rq.kind | wire::kReplyBit, body);
}

std::optional<std::vector<unsigned char>> Firmware::receive(const unsigned char* frame, size_t len)
{
    // A transfer that is not a whole, intact frame is line noise to the firmware.
    if (!frame || len < wire::kFrameOverhead) return std::nullopt;
    if (frame[0] != wire::kHead0 || frame[1] != wire::kHead1) return std::nullopt;
    if (wire::checksum(frame, len - 1) != frame[len - 1]) return std::nullopt;

    const uint8_t kind = frame[wire::kOffKind];
    const size_t announced = frame[wire::kOffLength];
    const size_t carried = len - wire::kFrameOverhead;

    if (kind == wire::kKindHeartbeat) {
        if (announced != 0 || carried != 0) return wire::frame(wire::kKindRefusal, {});
        return heartbeatReply();
    }
    if (kind != wire::kKindSet && kind != wire::kKindQuery) return wire::frame(wire::kKindRefusal, {});
    if (carried < 2) return wire::frame(wire::kKindRefusal, {});

    Request rq;
    rq.kind = kind;
    rq.code = frame[wire::kOffCode];
    rq.args.assign(frame + wire::kOffSub, frame + len - 1);
    const bool irregularOk = kind == wire::kKindQuery && rq.code == kCodeAlarmLogEntry && announced == carried + 1;
    if (announced != carried && !irregularOk)
        return wire::frame(wire::kKindRefusal, {wire::kBodyLead, rq.code, rq.sub()});
    return commandReply(rq, frame);
}

// ---- the seal-information block ----------------------------------------------------------------

Outcome Firmware::writeSealInfoChunk(uint8_t index, const uint8_t* chunk, size_t len)
{
    if (len > kSealChunk) return Outcome::refuse();
    if (index == 0) {
        m_sealWrite.clear();
        m_sealWriteOpen = true;
    }
    // Chunks must come in order, each where the one before ended.
    if (!m_sealWriteOpen || m_sealWrite.size() != static_cast<size_t>(index) * kSealChunk) {
        m_sealWriteOpen = false;
        return Outcome::refuse();
    }
    m_sealWrite.insert(m_sealWrite.end(), chunk, chunk + len);
    if (m_sealWrite.size() < kSealLengthPrefix) return Outcome::ok();
    const size_t total = m_sealWrite[0] | (m_sealWrite[1] << 8);
    if (total > kSealInfoCapacity || m_sealWrite.size() > total + kSealLengthPrefix) {
        m_sealWriteOpen = false;
        return Outcome::refuse();
    }
    if (m_sealWrite.size() == total + kSealLengthPrefix) {
        m_state.sealInfo.assign(m_sealWrite.begin() + kSealLengthPrefix, m_sealWrite.end());
        m_sealWriteOpen = false;
    }
    return Outcome::ok();
}

Outcome Firmware::readSealInfoChunk(uint8_t index) const
{
    const std::vector<uint8_t>& block = m_state.sealInfo;
    const size_t total = block.size();
    if (index == 0) {
        std::vector<uint8_t> data{static_cast<uint8_t>(total & 0xFF), static_cast<uint8_t>(total >> 8)};
        const size_t n = std::min(total, kSealChunk - kSealLengthPrefix);
        data.insert(data.end(), block.begin(), block.begin() + n);
        return Outcome::ok(std::move(data));
    }
    const size_t offset = kSealChunk - kSealLengthPrefix + (index - 1) * kSealChunk;
    if (offset >= total) return Outcome::refuse();
    const size_t n = std::min(total - offset, kSealChunk);
    return Outcome::ok(std::vector<uint8_t>(block.begin() + offset, block.begin() + offset + n));
}

}  // namespace stampctl::sim
