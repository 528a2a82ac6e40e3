// The firmware's command table: one handler per command. A handler gets the request's bytes
// after the command code (`args`, the sub-code first) and either answers with reply data or
// refuses. Requests whose arguments do not have the command's exact shape are refused.
#include <algorithm>
#include <cstring>

#include "stampctl/sim/firmware.h"
#include "stampctl/sim/wire.h"

namespace stampctl::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// Field sizes of the identity texts as the host writes them.
constexpr size_t kMachineNumSize = 12;
constexpr size_t kMachineTypeSize = 16;
constexpr size_t kMachineIdSize = 20;
constexpr size_t kSecurityCodeSize = 50;
constexpr uint8_t kHighestFirmwareMode = 2;
constexpr uint8_t kSubRotate = 0x02;        // code 0x13, sub-code: rotation corrections
constexpr uint8_t kSubBind = 0x03;          // code 0x13, sub-code: bind information
constexpr uint8_t kSubAbnormalOpen = 0x0A;  // code 0x07, sub-code: open the side door abnormally
constexpr uint8_t kDoorOpenRequest = 0x01;
constexpr int kAbnormalOpenTime = 120;  // an abnormal opening opens the side door this long
constexpr size_t kRfidBlockSize = kSlotCount * kRfidSize;
constexpr size_t kStampArgs = 9;
constexpr int kMaxRecordsCounted = 255;

// ---- small helpers ------------------------------------------------------------------------

// A text as the host reads it: the bytes and a terminator, as much as one reply holds.
Bytes textReply(const std::string& text)
{
    const size_t n = std::min(text.size(), wire::kMaxReplyData - 1);
    Bytes b(text.begin(), text.begin() + n);
    b.push_back(0);
    return b;
}

// A fixed-size text field as written by the host: up to its first zero byte.
std::string textField(const uint8_t* p, size_t n)
{
    const void* zero = std::memchr(p, 0, n);
    return std::string(reinterpret_cast<const char*>(p), zero ? static_cast<const uint8_t*>(zero) - p : n);
}

// A record text: the bytes without the zero padding behind them.
std::string paddedText(const uint8_t* p, size_t n)
{
    while (n > 0 && p[n - 1] == 0) --n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

// args = 00 followed by exactly n payload bytes.
bool zeroSubWith(const Request& rq, size_t n) { return rq.args.size() == n + 1 && rq.sub() == 0; }
bool justZeroSub(const Request& rq) { return zeroSubWith(rq, 0); }

// A set whose payload is a text field of fixed size.
Outcome setText(const Request& rq, size_t size, std::string& field)
{
    if (!zeroSubWith(rq, size)) return Outcome::refuse();
    field = textField(rq.args.data() + 1, size);
    return Outcome::ok();
}

Outcome getText(const Request& rq, const std::string& field)
{
    if (!justZeroSub(rq)) return Outcome::refuse();
    return Outcome::ok(textReply(field));
}

template <size_t N>
Outcome setBlock(const Request& rq, std::array<uint8_t, N>& block)
{
    if (!zeroSubWith(rq, N)) return Outcome::refuse();
    std::copy(rq.args.begin() + 1, rq.args.end(), block.begin());
    return Outcome::ok();
}

// 00, 01 (open), the open time little-endian.
Outcome openDoorRequest(Firmware& fw, const Request& rq, Door door)
{
    if (!zeroSubWith(rq, 3) || rq.args[1] != kDoorOpenRequest) return Outcome::refuse();
    fw.openDoor(door, rq.args[2] | (rq.args[3] << 8));
    return Outcome::ok();
}

// 00 and one on/off byte.
Outcome setSwitch(const Request& rq, bool& flag)
{
    if (!zeroSubWith(rq, 1) || rq.args[1] > 1) return Outcome::refuse();
    flag = rq.args[1] == 1;
    return Outcome::ok();
}

// ---- identity and security code -----------------------------------------------------------

Outcome getMachineNum(Firmware& fw, const Request& rq) { return getText(rq, fw.state().machineNum); }
Outcome setMachineNum(Firmware& fw, const Request& rq) { return setText(rq, kMachineNumSize, fw.state().machineNum); }
Outcome getMachineType(Firmware& fw, const Request& rq) { return getText(rq, fw.state().machineType); }
Outcome setMachineType(Firmware& fw, const Request& rq)
{
    return setText(rq, kMachineTypeSize, fw.state().machineType);
}
Outcome getMachineId(Firmware& fw, const Request& rq) { return getText(rq, fw.state().machineId); }
Outcome setMachineId(Firmware& fw, const Request& rq) { return setText(rq, kMachineIdSize, fw.state().machineId); }
Outcome getFirmwareVer(Firmware& fw, const Request& rq) { return getText(rq, fw.state().firmwareVersion); }
Outcome getSecurityCode(Firmware& fw, const Request& rq) { return getText(rq, fw.state().securityCode); }
Outcome setSecurityCode(Firmware& fw, const Request& rq)
{
    return setText(rq, kSecurityCodeSize, fw.state().securityCode);
}

Outcome getFirmwareMode(Firmware& fw, const Request& rq)
{
    if (!justZeroSub(rq)) return Outcome::refuse();
    return Outcome::ok({fw.state().firmwareMode});
}

Outcome setFirmwareMode(Firmware& fw, const Request& rq)
{
    if (!zeroSubWith(rq, 1) || rq.args[1] > kHighestFirmwareMode) return Outcome::refuse();
    fw.state().firmwareMode = rq.args[1];
    return Outcome::ok();
}

// ---- motion parameters and calibration ----------------------------------------------------

Outcome getConfig(Firmware& fw, const Request& rq)
{
    if (rq.args.size() != 1 || rq.sub() != 0) return Outcome::refuse();
    const auto& b = fw.state().motionBlock;
    return Outcome::ok(Bytes(b.begin(), b.end()));
}
Outcome setConfig(Firmware& fw, const Request& rq) { return setBlock(rq, fw.state().motionBlock); }

Outcome getPointInfo(Firmware& fw, const Request& rq)
{
    if (!justZeroSub(rq)) return Outcome::refuse();
    const auto& b = fw.state().baseBlock;
    return Outcome::ok(Bytes(b.begin(), b.end()));
}
Outcome setBasePoints(Firmware& fw, const Request& rq) { return setBlock(rq, fw.state().baseBlock); }

// ---- code 0x13: the seal-information block, rotation corrections, bind information --------

Outcome readBlock(Firmware& fw, const Request& rq)
{
    if (rq.args.size() != 1) return Outcome::refuse();
    const MachineState& s = fw.state();
    if (rq.sub() == kSubRotate) return Outcome::ok(Bytes(s.rotateBlock.begin(), s.rotateBlock.end()));
    if (rq.sub() == kSubBind) return Outcome::ok(Bytes(s.bindInfo.begin(), s.bindInfo.end()));
    return fw.readSealInfoChunk(rq.sub());
}

Outcome writeBlock(Firmware& fw, const Request& rq)
{
    if (rq.args.empty()) return Outcome::refuse();
    MachineState& s = fw.state();
    const uint8_t* payload = rq.args.data() + 1;
    const size_t n = rq.args.size() - 1;
    if (rq.sub() == kSubRotate) {
        if (n != kRotateBlockSize) return Outcome::refuse();
        std::copy(payload, payload + n, s.rotateBlock.begin());
        return Outcome::ok();
    }
    if (rq.sub() == kSubBind) {
        // The whole block, or its leading part (the identities recorded at calibration).
        if (n == 0 || n > kBindInfoSize) return Outcome::refuse();
        std::copy(payload, payload + n, s.bindInfo.begin());
        return Outcome::ok();
    }
    return fw.writeSealInfoChunk(rq.sub(), payload, n);
}

// ---- seals ----------------------------------------------------------------------------------

Outcome getSlotInfo(Firmware& fw, const Request& rq)
{
    if (!justZeroSub(rq)) return Outcome::refuse();
    uint8_t mask = 0;
    for (int i = 0; i < kSlotCount; ++i)
        if (fw.state().slots[i].hasSeal) mask |= static_cast<uint8_t>(1u << i);
    return Outcome::ok({mask});
}

Outcome getRfid(Firmware& fw, const Request& rq)
{
    if (rq.args.size() != 1 || rq.sub() != 0) return Outcome::refuse();
    Bytes data;
    data.reserve(kRfidBlockSize);
    for (const Slot& slot : fw.state().slots) {
        const Rfid tag = slot.hasSeal ? slot.rfid : Rfid{};
        data.insert(data.end(), tag.begin(), tag.end());
    }
    return Outcome::ok(std::move(data));
}

// Lock and unlock arrive as the same frame; the machine keeps the byte.
Outcome sealLock(Firmware& fw, const Request& rq)
{
    if (!zeroSubWith(rq, 1)) return Outcome::refuse();
    fw.state().sealLockByte = rq.args[1];
    return Outcome::ok();
}

// ---- doors, light, alarms -----------------------------------------------------------------

Outcome openPaperDoor(Firmware& fw, const Request& rq) { return openDoorRequest(fw, rq, Door::Paper); }
Outcome openBackDoor(Firmware& fw, const Request& rq) { return openDoorRequest(fw, rq, Door::Side); }
Outcome light(Firmware& fw, const Request& rq) { return setSwitch(rq, fw.state().lightOn); }
Outcome buzzer(Firmware& fw, const Request& rq) { return setSwitch(rq, fw.state().buzzerOn); }

// 00, on/off, 00 00.
Outcome moveAlarm(Firmware& fw, const Request& rq)
{
    if (!zeroSubWith(rq, 3) || rq.args[1] > 1 || rq.args[2] != 0 || rq.args[3] != 0) return Outcome::refuse();
    fw.state().moveAlarmOn = rq.args[1] == 1;
    return Outcome::ok();
}

// ---- code 0x07: abnormal side-door openings and their records -----------------------------

Outcome backDoorException(Firmware& fw, const Request& rq)
{
    MachineState& s = fw.state();
    if (zeroSubWith(rq, 1) && rq.args[1] == 0) {  // 00 00: delete every record
        s.abnormalRecords.clear();
        return Outcome::ok();
    }
    if (rq.sub() != kSubAbnormalOpen || rq.args.size() != 1 + kAbnormalReasonSize) return Outcome::refuse();
    if (s.abnormalRecords.size() >= s.abnormalCapacity) return Outcome::refuse();
    s.abnormalRecords.push_back(paddedText(rq.args.data() + 1, kAbnormalReasonSize));
    fw.openDoor(Door::Side, kAbnormalOpenTime);
    return Outcome::ok();
}

// n 00: n = 0 asks for the count, n >= 1 for record n.
Outcome readBackDoorException(Firmware& fw, const Request& rq)
{
    if (rq.args.size() != 2 || rq.args[1] != 0) return Outcome::refuse();
    const auto& records = fw.state().abnormalRecords;
    const size_t n = rq.sub();
    if (n == 0) return Outcome::ok({static_cast<uint8_t>(std::min<size_t>(records.size(), kMaxRecordsCounted))});
    if (n > records.size()) return Outcome::refuse();
    const std::string& text = records[n - 1];
    const size_t len = std::min(text.size(), wire::kMaxReplyData);
    return Outcome::ok(Bytes(text.begin(), text.begin() + len));
}

// ---- alarm log ------------------------------------------------------------------------------

Outcome alarmLogCount(Firmware& fw, const Request& rq)
{
    if (!justZeroSub(rq)) return Outcome::refuse();
    return Outcome::ok({static_cast<uint8_t>(std::min<size_t>(fw.state().alarmLog.size(), kMaxRecordsCounted))});
}

Outcome alarmLogEntry(Firmware& fw, const Request& rq)
{
    if (rq.args.size() != 1) return Outcome::refuse();
    const auto& log = fw.state().alarmLog;
    if (rq.sub() >= log.size()) return Outcome::refuse();
    return Outcome::ok(textReply(log[rq.sub()]));
}

Outcome deleteAlarmLog(Firmware& fw, const Request& rq)
{
    if (!justZeroSub(rq)) return Outcome::refuse();
    fw.state().alarmLog.clear();
    return Outcome::ok();
}

// ---- stamping and reset -------------------------------------------------------------------

Outcome stampStyle(Firmware& fw, const Request& rq)
{
    if (rq.args.size() != 1 || rq.sub() > 1) return Outcome::refuse();
    fw.state().stampStyle = rq.sub();
    fw.state().pendingStampStyle = rq.sub();
    return Outcome::ok();
}

// 00, seal, X (2), Y (2), angle (2), seal kind: all big-endian.
Outcome stamp(Firmware& fw, const Request& rq)
{
    if (rq.args.size() != kStampArgs || rq.sub() != 0) return Outcome::refuse();
    MachineState& s = fw.state();
    const auto& a = rq.args;
    StampRequest st;
    st.seal = a[1];
    st.x = (a[2] << 8) | a[3];
    st.y = (a[4] << 8) | a[5];
    st.angle = (a[6] << 8) | a[7];
    st.style = a[8];
    // The mechanism does not move while busy, with a door or the top cover open.
    if (st.seal < 1 || st.seal > kSlotCount || fw.busy() || s.paperDoor.open || s.sideDoor.open || s.topCoverOpen)
        return Outcome::refuse();
    if (!s.slots[st.seal - 1].hasSeal) {
        // Shown by the heartbeats until the next stamp or reset is taken.
        s.baseStatus.warn2 |= kWarn2SlotEmpty;
        return Outcome::refuse();
    }
    s.baseStatus.warn2 &= static_cast<uint8_t>(~kWarn2SlotEmpty);
    st.stampStyle = s.pendingStampStyle;
    s.pendingStampStyle = -1;
    if (!s.stampScripts.empty()) {
        const StampScript script = s.stampScripts.front();
        s.stampScripts.pop_front();
        st.made = script.madeStamp;
        s.stamps.push_back(st);
        s.stampComplete = script.showsComplete;
        fw.startActivity(script.phases);
        return Outcome::ok();
    }
    s.stamps.push_back(st);
    s.stampComplete = true;  // shown once the mechanism is done
    StatusPhase working;
    working.status.stampStatus = kBusy;
    working.durationMs = s.stampBusyMs;
    StatusPhase nearlyDone = working;
    nearlyDone.status.doorFlags = kDoorPreComplete;
    nearlyDone.durationMs = s.stampPreCompleteMs;
    fw.startActivity({working, nearlyDone});
    return Outcome::ok();
}

Outcome reset(Firmware& fw, const Request& rq)
{
    if (!justZeroSub(rq)) return Outcome::refuse();
    MachineState& s = fw.state();
    s.stampComplete = false;
    s.baseStatus.warn2 &= static_cast<uint8_t>(~kWarn2SlotEmpty);
    StatusPhase starting;
    starting.status.stampStatus = kResetStarting;
    starting.durationMs = s.resetDurationMs / 3;
    StatusPhase running;
    running.status.stampStatus = kResetting;
    running.durationMs = s.resetDurationMs - starting.durationMs;
    std::vector<StatusPhase> phases{starting, running};
    // The self-check at the end of the reset reports a machine without any seal.
    const bool anySeal = std::any_of(s.slots.begin(), s.slots.end(), [](const Slot& slot) { return slot.hasSeal; });
    if (!anySeal) {
        StatusPhase empty;
        empty.status.stampStatus = kWarning;
        empty.status.warn2 = kWarn2NoSeals;
        empty.durationMs = s.noSealWarningMs;
        phases.push_back(empty);
    }
    fw.startActivity(phases);
    return Outcome::ok();
}

constexpr uint8_t S = wire::kKindSet;
constexpr uint8_t Q = wire::kKindQuery;

}  // namespace

const std::vector<CommandEntry>& commandTable()
{
    // kind, code, served by the backup board, handler, name
    // Never destroyed, so that exchanges made during static teardown still find it.
    static const auto& table = *new std::vector<CommandEntry>{
        {S, 0x00, false, reset, "reset"},
        {Q, 0x01, true, getMachineNum, "get machine number"},
        {S, 0x01, true, setMachineNum, "set machine number"},
        {Q, 0x02, false, getRfid, "get RFID"},
        {S, 0x03, false, stamp, "stamp"},
        {S, 0x04, false, stampStyle, "set stamp style"},
        {S, 0x06, true, openPaperDoor, "open paper door"},
        {S, 0x07, true, backDoorException, "abnormal opening / delete records"},
        {Q, 0x07, true, readBackDoorException, "read abnormal-opening records"},
        {S, 0x08, false, openBackDoor, "open side door"},
        {Q, 0x0A, false, getMachineType, "get machine type"},
        {S, 0x0A, false, setMachineType, "set machine type"},
        {Q, 0x0C, true, getSecurityCode, "get security code"},
        {S, 0x0C, true, setSecurityCode, "set security code"},
        {S, 0x0D, false, light, "light"},
        {Q, 0x0E, false, getConfig, "get motion parameters"},
        {S, 0x0E, false, setConfig, "set motion parameters"},
        {Q, 0x0F, false, getSlotInfo, "get slot info"},
        {Q, 0x10, false, getFirmwareVer, "get firmware version"},
        {Q, 0x11, false, getMachineId, "get machine ID"},
        {S, 0x11, false, setMachineId, "set machine ID"},
        {Q, 0x12, false, getPointInfo, "get calibration base block"},
        {S, 0x12, false, setBasePoints, "set calibration base block"},
        {Q, 0x13, false, readBlock, "read seal info / rotation / bind info"},
        {S, 0x13, false, writeBlock, "write seal info / rotation / bind info"},
        {S, 0x14, false, moveAlarm, "move alarm"},
        {S, 0x15, false, buzzer, "buzzer"},
        {S, 0x23, true, sealLock, "lock / unlock seals"},
        {Q, 0x25, false, alarmLogCount, "alarm log count"},
        {Q, 0x26, false, alarmLogEntry, "alarm log entry"},
        {Q, 0x27, false, deleteAlarmLog, "delete alarm log"},
        {Q, 0x31, false, getFirmwareMode, "get firmware mode"},
        {S, 0x31, false, setFirmwareMode, "set firmware mode"},
    };
    return table;
}

}  // namespace stampctl::sim
