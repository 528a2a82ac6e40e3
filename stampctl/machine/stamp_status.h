// The machine's status as the last heartbeat reported it: reply bytes 4 to 10, one byte each.
// Each byte is read on its own by any thread, so each is atomic; no lock ties them together.
#pragma once

#include <atomic>
#include <cstdint>

struct CStampStatus {
    std::atomic<uint8_t> stamp_status{0};  // 1, 2 resetting; 3 ready; 4 busy; 5 warning/fault
    std::atomic<uint8_t> state_flags{0};
    std::atomic<uint8_t> door_flags{0};
    std::atomic<uint8_t> warn_code1{0};
    std::atomic<uint8_t> warn_code2{0};
    std::atomic<uint8_t> warn_code3{0};
    std::atomic<uint8_t> fault_code{0};
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
}  // namespace stampctl::status
