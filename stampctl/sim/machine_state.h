// Everything the simulated machine remembers, in one record: what its firmware keeps in flash
// and what its sensors report. The firmware (firmware.h) reads and changes it; tests script it
// through SimMachine.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace stampctl::sim {

// Values of the first status byte of a heartbeat reply.
enum StampStatus : uint8_t {
    kResetStarting = 1,  // a reset command has just been taken
    kResetting = 2,
    kReady = 3,
    kBusy = 4,
    kWarning = 5,  // the warning and fault bytes say which
};

// Bits of the status bytes that the machine sets by itself from its own state.
constexpr uint8_t kStateBackupBoard = 0x80;    // state_flags: the backup board answers
constexpr uint8_t kStateStampComplete = 0x02;  // state_flags: the stamp just made is complete
constexpr uint8_t kDoorSideOpen = 0x02;        // door_flags
constexpr uint8_t kDoorPaperOpen = 0x04;       // door_flags
constexpr uint8_t kDoorPreComplete = 0x40;     // door_flags: the stamp is as good as made
constexpr uint8_t kWarn1TopCoverOpen = 0x80;
constexpr uint8_t kWarn2NoSeals = 0x01;
constexpr uint8_t kWarn2SlotEmpty = 0x04;    // the slot asked to stamp holds no seal
constexpr uint8_t kWarn2RecordsFull = 0x08;  // no room for another abnormal-opening record

// The seven status bytes of a heartbeat reply (frame offsets 4 to 10), in wire order.
struct StatusRecord {
    uint8_t stampStatus = kReady;
    uint8_t stateFlags = 0;
    uint8_t doorFlags = 0;
    uint8_t warn1 = 0;
    uint8_t warn2 = 0;
    uint8_t warn3 = 0;
    uint8_t fault = 0;

    bool operator==(const StatusRecord& o) const
    {
        return stampStatus == o.stampStatus && stateFlags == o.stateFlags && doorFlags == o.doorFlags &&
               warn1 == o.warn1 && warn2 == o.warn2 && warn3 == o.warn3 && fault == o.fault;
    }
};

// One step of a status sequence. It lasts `durationMs` on the library's clock, or
// `heartbeats` heartbeat replies, whichever is given (neither: for ever). The machine's own
// door, board, cover and record bits are added to the scripted record.
struct StatusPhase {
    StatusRecord status;
    int64_t durationMs = 0;
    int heartbeats = 0;
};

enum class Door { Paper, Side };
enum class Board { Main, Backup };

constexpr int kSlotCount = 6;
constexpr size_t kRfidSize = 4;
using Rfid = std::array<uint8_t, kRfidSize>;

struct Slot {
    bool hasSeal = false;
    Rfid rfid{};  // the tag of the seal in the slot; all zero when empty
};

struct DoorState {
    bool open = false;
    int64_t closesAtMs = -1;  // the door falls shut by itself then (-1: stays as it is)
    int lastOpenTime = -1;    // the open time of the last open command, in the machine's unit
    int openCount = 0;        // open commands taken
};

// The last stamp command taken (the stamp frame's fields).
struct StampRequest {
    int seal = 0;
    int x = 0;  // hundredths of a millimetre
    int y = 0;
    int angle = 0;
    int style = 0;        // 1 photosensitive seal
    int stampStyle = -1;  // the stamp-style byte it was announced with: 0 across-page,
                          // 1 calibration, -1 none (an ordinary stamp)
    bool made = true;     // the seal reached the paper (false when a scripted stamp failed)

    double xMm() const { return x / 100.0; }
    double yMm() const { return y / 100.0; }
    bool photosensitive() const { return style == 1; }
};

// What the mechanism does after a stamp command it takes, in place of its usual course (busy,
// pre-complete, then ready showing the complete bit). A phase that is given neither a duration
// nor a heartbeat count lasts for ever: the machine stalls there.
struct StampScript {
    std::vector<StatusPhase> phases;
    bool showsComplete = false;  // the complete bit once the phases are over
    bool madeStamp = false;      // whether the seal reached the paper
};

// Block sizes the firmware keeps.
constexpr size_t kMotionBlockSize = 50;
constexpr size_t kBaseBlockSize = 50;
constexpr size_t kRotateBlockSize = 54;
constexpr size_t kBindInfoSize = 49;
constexpr size_t kAbnormalReasonSize = 52;

struct MachineState {
    // ---- identity (texts as stored; replies carry them with a terminator) --------------------
    std::string machineNum;
    std::string machineType;
    std::string machineId;
    std::string firmwareVersion;
    uint8_t firmwareMode = 2;
    std::string securityCode;  // empty: none stored

    // ---- blocks kept for the host ------------------------------------------------------------
    std::array<uint8_t, kMotionBlockSize> motionBlock{};
    // The seal information block, without its length prefix. Over the wire a host reaches 110
    // bytes of it (chunks 0 and 1): chunk indexes 2 and 3 share their frames with the rotation
    // block and the bind information. A longer block set here is announced with its full length.
    std::vector<uint8_t> sealInfo;
    std::array<uint8_t, kBaseBlockSize> baseBlock{};
    std::array<uint8_t, kRotateBlockSize> rotateBlock{};
    std::array<uint8_t, kBindInfoSize> bindInfo{};

    // ---- seals -------------------------------------------------------------------------------
    std::array<Slot, kSlotCount> slots{};
    int sealLockByte = -1;                 // the byte of the last lock/unlock command (-1: none yet)
    int stampStyle = -1;                   // the byte of the last stamp-style command (-1: none yet)
    std::vector<StampRequest> stamps;      // stamp commands taken, oldest first
    int pendingStampStyle = -1;            // announced for the next stamp only (-1: none)
    std::deque<StampScript> stampScripts;  // played by the coming stamps, one each

    // ---- logs --------------------------------------------------------------------------------
    std::vector<std::string> alarmLog;
    std::vector<std::string> abnormalRecords;
    size_t abnormalCapacity = 20;  // beyond this the machine refuses abnormal openings

    // ---- doors, light, alarms ----------------------------------------------------------------
    DoorState paperDoor;
    DoorState sideDoor;
    bool lightOn = false;
    bool moveAlarmOn = false;
    bool buzzerOn = false;

    // ---- status ------------------------------------------------------------------------------
    StatusRecord baseStatus;  // what the machine reports when nothing is going on
    Board board = Board::Main;
    bool topCoverOpen = false;
    bool stampComplete = false;  // shown until the next stamp or reset command
    int64_t resetDurationMs = 3000;
    int64_t stampBusyMs = 1500;
    int64_t stampPreCompleteMs = 300;
    int64_t noSealWarningMs = 2000;  // a self-check that finds no seal reports it this long
};

// The machine as shipped for the demo: six sealed slots with tags, no security code, doors
// closed, ready on its main board.
MachineState defaultMachineState();

}  // namespace stampctl::sim
