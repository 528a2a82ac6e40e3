// The simulated seal-control machine: its firmware behind the two bulk endpoints, plus the knobs
// a test turns (state, status sequences, injected faults) and the log of what the host sent.
//
// The byte-level core (hostWrite / hostRead) knows nothing of the library: it takes one bulk OUT
// transfer and hands back one 64-byte bulk IN packet, so the same model can sit behind an
// in-process transport (makeSimTransport) or an emulated USB device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "stampctl/link/usb_transport.h"
#include "stampctl/sim/firmware.h"
#include "stampctl/sim/machine_state.h"

namespace stampctl::sim {

// True when the environment variable STAMPCTL_SIMULATOR is "1".
bool simulatorEnabled();

// How the process-wide machine starts, for programs that cannot reach it from inside (a
// command-line tool under test): a stored security code, and a machine that is not plugged in.
constexpr const char* kSimSecurityCodeEnv = "STAMPCTL_SIM_SECURITY_CODE";
constexpr const char* kSimUnpluggedEnv = "STAMPCTL_SIM_UNPLUGGED";

// libusb-style results of the bulk transfers.
constexpr int kUsbOk = 0;
constexpr int kUsbErrorNoDevice = -4;  // LIBUSB_ERROR_NO_DEVICE
constexpr int kUsbErrorTimeout = -7;   // LIBUSB_ERROR_TIMEOUT
constexpr int kUsbErrorOverflow = -8;  // LIBUSB_ERROR_OVERFLOW
constexpr int kUsbErrorIo = -1;        // LIBUSB_ERROR_IO

// Faults the machine can be told to commit on coming exchanges.
enum class Fault {
    BadChecksum,   // the reply's checksum byte is off by one
    WrongEcho,     // the reply repeats another command code at offset 5
    WrongKind,     // the reply's kind byte is a valid reply kind, but not the one asked for
    Refusal,       // the machine answers with kind 0x85 instead of carrying out the request
    ShortPacket,   // only `value` bytes of the packet arrive (default 40)
    ReadTimeout,   // no reply: the host's read times out (after its time-out, on the clock)
    BogusLength,   // the reply's length byte is `value` (default 0xFF); where a frame of that
                   // length still fits the packet, its checksum is made to match
    WriteFailure,  // the OUT transfer fails; the request never reaches the firmware
};

// Which requests a fault applies to.
enum class FaultTarget { Any, Heartbeat, Command };

struct FaultSpec {
    Fault fault = Fault::BadChecksum;
    int times = 1;  // how many matching exchanges commit it
    FaultTarget target = FaultTarget::Any;
    int commandCode = -1;  // only requests with this byte at offset 5 (-1: any)
    int skip = 0;          // matching exchanges let through first
    int value = -1;        // ShortPacket: bytes that arrive (40); BogusLength: the length byte (0xFF)
};

class SimMachine {
public:
    SimMachine();
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    // Back to the default machine: state, status script, faults, logs, USB presence.
    void resetToDefault();

    // ---- byte level: the two bulk endpoints ---------------------------------------------------
    // One bulk OUT transfer. 0, or a negative libusb code (unplugged, injected write failure).
    int hostWrite(const unsigned char* data, size_t len);
    // One bulk IN transfer of one 64-byte packet into buf (cap must hold it). 0, or a negative
    // libusb code: -7 when the machine has nothing to say (after timeoutMs on the clock), -4
    // when unplugged, -8 when cap is smaller than the packet.
    int hostRead(unsigned char* buf, size_t cap, int& transferred, unsigned timeoutMs);

    // ---- USB presence -------------------------------------------------------------------------
    void setPlugged(bool plugged);
    bool plugged() const;
    // How often the machine was plugged in again; a handle opened before that is stale.
    int pluggings() const;
    // A kernel driver holds interface 0 until the first open detaches it.
    void setKernelDriverBound(bool bound);
    bool kernelDriverBound() const;
    // What a host's open finds: -1 not plugged, 1 a kernel driver was bound and is now
    // detached, 0 opened cleanly.
    int hostOpen();
    // Time one reply takes on the clock (default 2 ms), so that a host polling without pause
    // still sees virtual time pass. Long virtual waits run faster with a larger value; a
    // benchmark of the host's own cost sets 0.
    void setExchangeLatencyMs(int64_t ms);

    // ---- state --------------------------------------------------------------------------------
    // A copy of the whole state, and an edit of it under the machine's lock.
    MachineState state() const;
    void update(const std::function<void(MachineState&)>& edit);

    // Identity.
    void setMachineNum(const std::string& num);
    std::string machineNum() const;
    void setMachineType(const std::string& type);
    std::string machineType() const;
    void setMachineId(const std::string& id);
    std::string machineId() const;
    void setFirmwareVersion(const std::string& version);
    std::string firmwareVersion() const;
    void setFirmwareMode(uint8_t mode);
    uint8_t firmwareMode() const;
    void setSecurityCode(const std::string& code);  // "" clears it
    std::string securityCode() const;

    // Seals and slots (n = 1 to 6).
    void setSlot(int n, bool hasSeal, const Rfid& rfid = Rfid{});
    Slot slot(int n) const;
    uint8_t slotMask() const;
    void setBindInfo(const std::array<uint8_t, kBindInfoSize>& info);
    std::array<uint8_t, kBindInfoSize> bindInfo() const;
    void setSealInfo(const std::vector<uint8_t>& block);
    std::vector<uint8_t> sealInfo() const;

    // Blocks.
    void setMotionBlock(const std::array<uint8_t, kMotionBlockSize>& block);
    std::array<uint8_t, kMotionBlockSize> motionBlock() const;
    // Motion parameter i (0 to 11), big-endian signed 16 bits in the block.
    void setMotionParam(int i, int16_t value);
    int16_t motionParam(int i) const;
    void setBaseBlock(const std::array<uint8_t, kBaseBlockSize>& block);
    std::array<uint8_t, kBaseBlockSize> baseBlock() const;
    void setRotateBlock(const std::array<uint8_t, kRotateBlockSize>& block);
    std::array<uint8_t, kRotateBlockSize> rotateBlock() const;

    // Logs.
    void setAlarmLog(const std::vector<std::string>& entries);
    std::vector<std::string> alarmLog() const;
    void setAbnormalRecords(const std::vector<std::string>& records);
    std::vector<std::string> abnormalRecords() const;

    // Doors, light, alarms, locks.
    void setDoorOpen(Door door, bool open);  // stays so until told otherwise
    bool doorOpen(Door door) const;          // as the next heartbeat reports it
    DoorState door(Door door) const;
    bool lightOn() const;
    bool moveAlarmOn() const;
    bool buzzerOn() const;
    int sealLockByte() const;

    // ---- status -------------------------------------------------------------------------------
    // What the machine reports when no script runs and it is doing nothing.
    void setStatus(const StatusRecord& status);
    // Plays these phases from now on, in order; afterwards the machine's own status again.
    void scriptStatus(const std::vector<StatusPhase>& phases);
    void setBoard(Board board);
    Board board() const;
    void setTopCoverOpen(bool open);
    // The seven status bytes the next heartbeat would carry (without consuming a phase).
    StatusRecord currentStatus() const;
    int heartbeatCount() const;

    // ---- stamping (stamping.cpp) --------------------------------------------------------------
    // The next stamp the machine takes plays `script` instead of its usual course; more calls
    // queue scripts for the stamps after it (stamp_scripts.h has ready-made ones).
    void scriptNextStamp(const StampScript& script);
    // Every stamp command the machine took, oldest first: seal, position, angle, style.
    std::vector<StampRequest> stamps() const;

    // ---- faults -------------------------------------------------------------------------------
    void injectFault(Fault fault, int times = 1, FaultTarget target = FaultTarget::Any);
    void injectFault(const FaultSpec& spec);
    void clearFaults();

    // ---- what the host sent -------------------------------------------------------------------
    // Every OUT transfer that reached the machine, byte for byte, oldest first.
    std::vector<std::vector<unsigned char>> receivedFrames() const;
    // The reply frames the machine produced (before any injected corruption), oldest first.
    std::vector<std::vector<unsigned char>> sentReplies() const;
    void clearLog();

private:
    struct ActiveFault {
        FaultSpec spec;
        int skipLeft;
        int timesLeft;
    };
    struct PendingRead {
        std::vector<unsigned char> packet;  // 64 bytes
        int transferred;                    // bytes that arrive
        int result;                         // libusb code of the read
        bool silent;                        // the read times out
    };

    bool takeFault(Fault fault, const std::vector<unsigned char>& request, FaultSpec* taken);
    void corrupt(const std::vector<unsigned char>& request, PendingRead& read);

    mutable std::mutex m_lock;
    mutable Firmware m_firmware;  // reading the status lets the clock act on it
    bool m_plugged = true;
    int m_pluggings = 0;
    bool m_driverBound = false;
    int64_t m_latencyMs = 1;
    std::vector<ActiveFault> m_faults;
    std::deque<PendingRead> m_pending;
    std::vector<std::vector<unsigned char>> m_received;
    std::vector<std::vector<unsigned char>> m_replies;
};

// The process-wide machine that the library talks to when the simulator is enabled.
SimMachine& machine();

// A transport that carries the library's transfers to `m` instead of to libusb.
std::unique_ptr<UsbTransport> makeSimTransport(SimMachine& m = machine());

}  // namespace stampctl::sim
