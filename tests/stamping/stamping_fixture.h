// A connected session whose machine edition file the test writes, and the stamp cycle's result.
#pragma once

#include <tuple>

#include "stampctl/sim/stamp_scripts.h"
#include "tests/support/sim_session.h"

namespace stampctl::test {

constexpr uint8_t kComplete = 0x02;     // state_flags
constexpr uint8_t kPreComplete = 0x40;  // door_flags
constexpr uint8_t kSlotEmpty = 0x04;    // warn_code2
constexpr uint8_t kMotorFault = 0x04;   // fault_code
constexpr unsigned char kStampCode = 0x03;
constexpr unsigned char kStyleCode = 0x04;

// `ms` of state `state` (0: for ever), or with `polls` set, that many heartbeats of it.
inline sim::StatusPhase phase(uint8_t state, int64_t ms, uint8_t flags = 0, uint8_t doors = 0, uint8_t warn2 = 0,
                              uint8_t fault = 0, int polls = 0)
{
    return sim::StatusPhase{{state, flags, doors, 0, warn2, 0, fault}, ms, polls};
}

// How a cycle ended: stamped, its code, another attempt offered.
using CycleResult = std::tuple<bool, int, bool>;

class Stamping : public ::testing::Test {
protected:
    // The edition file, then a fresh connection. Unless the test says otherwise the cycle waits
    // for completion, and there is no seal shift and no pause after an error.
    void configure(const std::string& ovStamp = "", const std::string& camUsb = "")
    {
        s.writeFile("ywb.ini", "[OV_STAMP]\nbefore_print=no\nseal_dx=0\nprint_error_sleep=0\n" + ovStamp +
                                   "\n[CAM_USB]\n" + camUsb + "\n");
        ASSERT_EQ(s.connect(), EC_OK);
    }
    CycleResult stamp(int seal = 1, double x = 150, double y = 150, int angle = 0, SEAL_KIND kind = SEAL_ORDINARY,
                      CSeal::STAMP_STYLE style = CSeal::STAMP_NORMAL)
    {
        const StampOutcome out = s.seal().PrintOneStart(seal, x, y, angle, kind, style);
        EXPECT_EQ(out.resetSeen, GetPrintReset() == 1);
        return {out.stamped, out.code, out.retryOffered};
    }
    void script(std::vector<sim::StatusPhase> phases, bool complete = false)
    {
        s.machine().scriptNextStamp(sim::StampScript{std::move(phases), complete, false});
    }
    size_t stampCommands() { return s.commandsWithCode(kStampCode); }
    SimSession s;
};

}  // namespace stampctl::test
