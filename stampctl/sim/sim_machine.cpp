#include "stampctl/sim/sim_machine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "stampctl/core/clock.h"
#include "stampctl/sim/wire.h"

namespace stampctl::sim {
namespace {

constexpr int kDefaultShortPacket = 40;
constexpr int kDefaultBogusLength = 0xFF;
// One 1-ms USB frame carries the request, the next one the reply.
constexpr int64_t kDefaultLatencyMs = 2;
constexpr size_t kMotionParams = 12;

bool matches(const FaultSpec& spec, const std::vector<unsigned char>& request)
{
    const bool heartbeat = request.size() > wire::kOffKind && request[wire::kOffKind] == wire::kKindHeartbeat;
    if (spec.target == FaultTarget::Heartbeat && !heartbeat) return false;
    if (spec.target == FaultTarget::Command && heartbeat) return false;
    if (spec.commandCode >= 0) {
        if (heartbeat || request.size() <= wire::kOffCode) return false;
        if (request[wire::kOffCode] != spec.commandCode) return false;
    }
    // An echo can only be wrong where there is one.
    if (spec.fault == Fault::WrongEcho && heartbeat) return false;
    return true;
}

// Rewrites the checksum of the reply frame in `packet` after its bytes were changed.
void reseal(std::vector<unsigned char>& packet)
{
    const size_t len = packet[wire::kOffLength] + wire::kFrameOverhead;
    if (len <= packet.size()) packet[len - 1] = wire::checksum(packet.data(), len - 1);
}

// The refusal of a request: kind 0x85, repeating the lead byte, command code and sub-code.
std::vector<unsigned char> refusalOf(const std::vector<unsigned char>& request)
{
    std::vector<unsigned char> body;
    if (request.size() > wire::kOffSub && request[wire::kOffKind] != wire::kKindHeartbeat)
        body = {wire::kBodyLead, request[wire::kOffCode], request[wire::kOffSub]};
    return wire::frame(wire::kKindRefusal, body);
}

std::vector<unsigned char> toPacket(std::vector<unsigned char> frame)
{
    frame.resize(wire::kPacketSize, 0);
    return frame;
}

}  // namespace

bool simulatorEnabled()
{
    const char* v = std::getenv("STAMPCTL_SIMULATOR");
    return v && std::strcmp(v, "1") == 0;
}

SimMachine& machine()
{
    // Never destroyed: the controller, itself a static, still talks to the machine while it is
    // torn down at exit.
    static SimMachine* instance = [] {
        auto* m = new SimMachine;
        if (const char* code = std::getenv(kSimSecurityCodeEnv)) m->setSecurityCode(code);
        const char* unplugged = std::getenv(kSimUnpluggedEnv);
        if (unplugged && std::strcmp(unplugged, "1") == 0) m->setPlugged(false);
        return m;
    }();
    return *instance;
}

SimMachine::SimMachine() { resetToDefault(); }

void SimMachine::resetToDefault()
{
    std::lock_guard<std::mutex> g(m_lock);
    m_firmware.powerOn(defaultMachineState());
    m_plugged = true;
    m_driverBound = false;
    m_latencyMs = kDefaultLatencyMs;
    m_faults.clear();
    m_pending.clear();
    m_received.clear();
    m_replies.clear();
}

// ---- byte level --------------------------------------------------------------------------------

bool SimMachine::takeFault(Fault fault, const std::vector<unsigned char>& request, FaultSpec* taken)
{
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (it->spec.fault != fault || !matches(it->spec, request)) continue;
        if (it->skipLeft > 0) {
            --it->skipLeft;
            continue;
        }
        if (taken) *taken = it->spec;
        if (--it->timesLeft <= 0) m_faults.erase(it);
        return true;
    }
    return false;
}

void SimMachine::corrupt(const std::vector<unsigned char>& request, PendingRead& read)
{
    std::vector<unsigned char>& p = read.packet;
    FaultSpec spec;
    if (takeFault(Fault::ReadTimeout, request, &spec)) read.silent = true;
    if (takeFault(Fault::WrongEcho, request, &spec)) {
        p[wire::kOffCode] = static_cast<unsigned char>(p[wire::kOffCode] ^ 0xFF);
        reseal(p);
    }
    if (takeFault(Fault::WrongKind, request, &spec)) {
        // Another valid reply kind: the answer to a set for a query and the other way round.
        p[wire::kOffKind] = p[wire::kOffKind] == (wire::kKindQuery | wire::kReplyBit)
                                ? (wire::kKindSet | wire::kReplyBit)
                                : (wire::kKindQuery | wire::kReplyBit);
        reseal(p);
    }
    if (takeFault(Fault::BadChecksum, request, &spec)) {
        const size_t len = p[wire::kOffLength] + wire::kFrameOverhead;
        if (len <= p.size()) p[len - 1] = static_cast<unsigned char>(p[len - 1] + 1);
    }
    if (takeFault(Fault::BogusLength, request, &spec)) {
        p[wire::kOffLength] = static_cast<unsigned char>(spec.value >= 0 ? spec.value : kDefaultBogusLength);
        reseal(p);  // only where the claimed frame still fits the packet
    }
    if (takeFault(Fault::ShortPacket, request, &spec)) {
        const int n = spec.value >= 0 ? spec.value : kDefaultShortPacket;
        read.transferred = std::clamp(n, 0, static_cast<int>(wire::kPacketSize));
    }
}

int SimMachine::hostWrite(const unsigned char* data, size_t len)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_plugged) return kUsbErrorNoDevice;
    std::vector<unsigned char> request(data, data + (data ? len : 0));
    if (takeFault(Fault::WriteFailure, request, nullptr)) return kUsbErrorIo;
    m_received.push_back(request);

    PendingRead read{{}, static_cast<int>(wire::kPacketSize), kUsbOk, false};
    // A refused request is not carried out: the firmware never sees it.
    std::optional<std::vector<unsigned char>> reply =
        takeFault(Fault::Refusal, request, nullptr) ? refusalOf(request) : m_firmware.receive(request.data(), len);
    if (!reply) {
        read.silent = true;
    } else {
        m_replies.push_back(*reply);
        read.packet = toPacket(*reply);
        corrupt(request, read);
    }
    m_pending.push_back(std::move(read));
    return kUsbOk;
}

int SimMachine::hostRead(unsigned char* buf, size_t cap, int& transferred, unsigned timeoutMs)
{
    transferred = 0;
    int64_t waitMs = 0;
    int result = kUsbOk;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!m_plugged) return kUsbErrorNoDevice;
        if (m_pending.empty() || m_pending.front().silent) {
            if (!m_pending.empty()) m_pending.pop_front();
            waitMs = timeoutMs;
            result = kUsbErrorTimeout;
        } else if (!buf || cap < static_cast<size_t>(m_pending.front().transferred)) {
            m_pending.pop_front();
            result = kUsbErrorOverflow;
        } else {
            PendingRead& r = m_pending.front();
            std::memcpy(buf, r.packet.data(), r.transferred);
            transferred = r.transferred;
            result = r.result;
            waitMs = m_latencyMs;
            m_pending.pop_front();
        }
    }
    // The wait happens outside the lock: the machine takes time, and others may script it.
    stampctl::sleepMs(waitMs);
    return result;
}

// ---- USB presence ------------------------------------------------------------------------------

void SimMachine::setPlugged(bool plugged)
{
    std::lock_guard<std::mutex> g(m_lock);
    // Plugged in again, the machine is a new device on the bus: what the host had open is gone.
    if (plugged && !m_plugged) ++m_pluggings;
    m_plugged = plugged;
    m_pending.clear();
}

int SimMachine::pluggings() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_pluggings;
}

bool SimMachine::plugged() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_plugged;
}

void SimMachine::setKernelDriverBound(bool bound)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_driverBound = bound;
}

bool SimMachine::kernelDriverBound() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_driverBound;
}

int SimMachine::hostOpen()
{
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_plugged) return -1;
    m_pending.clear();  // nothing from an earlier session waits in the endpoint
    if (m_driverBound) {
        m_driverBound = false;
        return 1;
    }
    return 0;
}

void SimMachine::setExchangeLatencyMs(int64_t ms)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_latencyMs = std::max<int64_t>(0, ms);
}

// ---- state -------------------------------------------------------------------------------------

MachineState SimMachine::state() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_firmware.state();
}

void SimMachine::update(const std::function<void(MachineState&)>& edit)
{
    std::lock_guard<std::mutex> g(m_lock);
    edit(m_firmware.state());
}

// clang-format off
// Identity.
void SimMachine::setMachineNum(const std::string& v) { update([&](MachineState& s) { s.machineNum = v; }); }
std::string SimMachine::machineNum() const { return state().machineNum; }
void SimMachine::setMachineType(const std::string& v) { update([&](MachineState& s) { s.machineType = v; }); }
std::string SimMachine::machineType() const { return state().machineType; }
void SimMachine::setMachineId(const std::string& v) { update([&](MachineState& s) { s.machineId = v; }); }
std::string SimMachine::machineId() const { return state().machineId; }
void SimMachine::setFirmwareVersion(const std::string& v)
{
    update([&](MachineState& s) { s.firmwareVersion = v; });
}
std::string SimMachine::firmwareVersion() const { return state().firmwareVersion; }
void SimMachine::setFirmwareMode(uint8_t v) { update([&](MachineState& s) { s.firmwareMode = v; }); }
uint8_t SimMachine::firmwareMode() const { return state().firmwareMode; }
void SimMachine::setSecurityCode(const std::string& v) { update([&](MachineState& s) { s.securityCode = v; }); }
std::string SimMachine::securityCode() const { return state().securityCode; }
// clang-format on

// Seals and slots.
void SimMachine::setSlot(int n, bool hasSeal, const Rfid& rfid)
{
    if (n < 1 || n > kSlotCount) return;
    update([&](MachineState& s) { s.slots[n - 1] = Slot{hasSeal, hasSeal ? rfid : Rfid{}}; });
}

Slot SimMachine::slot(int n) const
{
    if (n < 1 || n > kSlotCount) return Slot{};
    return state().slots[n - 1];
}

uint8_t SimMachine::slotMask() const
{
    const MachineState s = state();
    uint8_t mask = 0;
    for (int i = 0; i < kSlotCount; ++i)
        if (s.slots[i].hasSeal) mask |= static_cast<uint8_t>(1u << i);
    return mask;
}

void SimMachine::setBindInfo(const std::array<uint8_t, kBindInfoSize>& v)
{
    update([&](MachineState& s) { s.bindInfo = v; });
}
std::array<uint8_t, kBindInfoSize> SimMachine::bindInfo() const { return state().bindInfo; }
void SimMachine::setSealInfo(const std::vector<uint8_t>& v)
{
    update([&](MachineState& s) { s.sealInfo = v; });
}
std::vector<uint8_t> SimMachine::sealInfo() const { return state().sealInfo; }

// Blocks.
void SimMachine::setMotionBlock(const std::array<uint8_t, kMotionBlockSize>& v)
{
    update([&](MachineState& s) { s.motionBlock = v; });
}
std::array<uint8_t, kMotionBlockSize> SimMachine::motionBlock() const { return state().motionBlock; }

void SimMachine::setMotionParam(int i, int16_t value)
{
    if (i < 0 || static_cast<size_t>(i) >= kMotionParams) return;
    update([&](MachineState& s) {
        s.motionBlock[2 * i] = static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8);
        s.motionBlock[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(value) & 0xFF);
    });
}

int16_t SimMachine::motionParam(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= kMotionParams) return 0;
    const auto b = motionBlock();
    return static_cast<int16_t>((b[2 * i] << 8) | b[2 * i + 1]);
}

void SimMachine::setBaseBlock(const std::array<uint8_t, kBaseBlockSize>& v)
{
    update([&](MachineState& s) { s.baseBlock = v; });
}
std::array<uint8_t, kBaseBlockSize> SimMachine::baseBlock() const { return state().baseBlock; }
void SimMachine::setRotateBlock(const std::array<uint8_t, kRotateBlockSize>& v)
{
    update([&](MachineState& s) { s.rotateBlock = v; });
}
std::array<uint8_t, kRotateBlockSize> SimMachine::rotateBlock() const { return state().rotateBlock; }

// Logs.
void SimMachine::setAlarmLog(const std::vector<std::string>& v)
{
    update([&](MachineState& s) { s.alarmLog = v; });
}
std::vector<std::string> SimMachine::alarmLog() const { return state().alarmLog; }
void SimMachine::setAbnormalRecords(const std::vector<std::string>& v)
{
    update([&](MachineState& s) { s.abnormalRecords = v; });
}
std::vector<std::string> SimMachine::abnormalRecords() const { return state().abnormalRecords; }

// Doors, light, alarms, locks.
void SimMachine::setDoorOpen(Door door, bool open)
{
    update([&](MachineState& s) {
        DoorState& d = door == Door::Paper ? s.paperDoor : s.sideDoor;
        d.open = open;
        d.closesAtMs = -1;
    });
}

bool SimMachine::doorOpen(Door door) const
{
    const StatusRecord s = currentStatus();
    return (s.doorFlags & (door == Door::Paper ? kDoorPaperOpen : kDoorSideOpen)) != 0;
}

DoorState SimMachine::door(Door door) const
{
    const MachineState s = state();
    return door == Door::Paper ? s.paperDoor : s.sideDoor;
}

bool SimMachine::lightOn() const { return state().lightOn; }
bool SimMachine::moveAlarmOn() const { return state().moveAlarmOn; }
bool SimMachine::buzzerOn() const { return state().buzzerOn; }
int SimMachine::sealLockByte() const { return state().sealLockByte; }

// ---- status ------------------------------------------------------------------------------------

void SimMachine::setStatus(const StatusRecord& status)
{
    update([&](MachineState& s) { s.baseStatus = status; });
}

void SimMachine::scriptStatus(const std::vector<StatusPhase>& phases)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_firmware.scriptStatus(phases);
}

void SimMachine::setBoard(Board board)
{
    update([&](MachineState& s) { s.board = board; });
}
Board SimMachine::board() const { return state().board; }
void SimMachine::setTopCoverOpen(bool open)
{
    update([&](MachineState& s) { s.topCoverOpen = open; });
}

StatusRecord SimMachine::currentStatus() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_firmware.peekStatus();
}

int SimMachine::heartbeatCount() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_firmware.heartbeats();
}

// ---- faults ------------------------------------------------------------------------------------

void SimMachine::injectFault(Fault fault, int times, FaultTarget target)
{
    FaultSpec spec;
    spec.fault = fault;
    spec.times = times;
    spec.target = target;
    injectFault(spec);
}

void SimMachine::injectFault(const FaultSpec& spec)
{
    if (spec.times <= 0) return;
    std::lock_guard<std::mutex> g(m_lock);
    m_faults.push_back(ActiveFault{spec, std::max(0, spec.skip), spec.times});
}

void SimMachine::clearFaults()
{
    std::lock_guard<std::mutex> g(m_lock);
    m_faults.clear();
}

// ---- log ---------------------------------------------------------------------------------------

std::vector<std::vector<unsigned char>> SimMachine::receivedFrames() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_received;
}

std::vector<std::vector<unsigned char>> SimMachine::sentReplies() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_replies;
}

void SimMachine::clearLog()
{
    std::lock_guard<std::mutex> g(m_lock);
    m_received.clear();
    m_replies.clear();
}

}  // namespace stampctl::sim
