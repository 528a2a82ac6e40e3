// The machine's status as one heartbeat reported it: reply bytes 4 to 10, one byte each, and the
// door flags read from them. A record is always read and written whole (the link keeps the
// latest under a lock), so its bytes never mix two heartbeats. What a record means is read by
// the free functions below, which the link's refusal path and the machine's operations share.
#pragma once

#include <cstdint>

struct CStampStatus {
    uint8_t stamp_status = 0;  // 1, 2 resetting; 3 ready; 4 busy; 5 warning/fault
    uint8_t state_flags = 0;
    uint8_t door_flags = 0;
    uint8_t warn_code1 = 0;
    uint8_t warn_code2 = 0;
    uint8_t warn_code3 = 0;
    uint8_t fault_code = 0;
    // Only the main board's door flags count; the backup board does not report them.
    int m_iIsPaperOpen = 0;
    int m_iIsBackDoorOpen = 0;
};

namespace stampctl::status {
constexpr uint8_t kResetting1 = 1;
constexpr uint8_t kResetting2 = 2;
constexpr uint8_t kReady = 3;
constexpr uint8_t kBusy = 4;
constexpr uint8_t kWarning = 5;

constexpr uint8_t kStateBackupBoard = 0x80;  // state_flags
constexpr uint8_t kStateStampDone = 0x02;
constexpr uint8_t kDoorSide = 0x02;  // door_flags
constexpr uint8_t kDoorPaper = 0x04;
constexpr uint8_t kDoorPreComplete = 0x40;
constexpr uint8_t kWarn1PositionErrors = 0x0F;  // X, Y, Z and rotation position errors
constexpr uint8_t kWarn1TopCover = 0x80;
constexpr uint8_t kWarn2TooManyUnnormal = 0x08;
constexpr uint8_t kFaultBackDoorRfid = 0x01;
constexpr uint8_t kFaultPaperDoor = 0x02;

// The record of a heartbeat's seven status bytes, door flags included.
CStampStatus fromBytes(const uint8_t* bytes);
// The main board answered (the backup board sets kStateBackupBoard).
bool fromMainBoard(const CStampStatus& s);
// The most important warning or fault as a result code; -602 when none is set.
int machineError(const CStampStatus& s);
// One trace line per warning or fault bit, while the record reports state 5.
void logWarnings(const CStampStatus& s);
// A position error while in state 5: the machine is resetting itself.
bool isResetting(const CStampStatus& s);
// States 1 and 2: the machine runs its reset.
bool isResetState(uint8_t state);
}  // namespace stampctl::status
