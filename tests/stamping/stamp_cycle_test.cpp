// One stamp cycle against the simulated machine (what it sends, how it reads each course the
// machine can take afterwards), and the reset of the mechanism, polled to its end.
#include <algorithm>
#include <functional>
#include <thread>

#include "tests/stamping/stamping_fixture.h"

using namespace stampctl;
using namespace stampctl::test;

namespace {

using Cycle = Stamping;
using Reset = Stamping;
constexpr int64_t kEver = 0;

struct Course {
    const char* name;
    std::vector<sim::StatusPhase> phases;
    bool showsComplete;
    CycleResult expected;
    bool printReset;
};
void PrintTo(const Course& c, std::ostream* os) { *os << c.name; }

class Courses : public Stamping, public ::testing::WithParamInterface<Course> {};

sim::StatusPhase polls(uint8_t state, int count, uint8_t fault = 0) { return phase(state, 0, 0, 0, 0, fault, count); }
// `ms` of stamping, and of a motor fault while resetting.
sim::StatusPhase busy(int64_t ms, uint8_t flags = 0, uint8_t doors = 0, uint8_t warn2 = 0)
{
    return phase(4, ms, flags, doors, warn2);
}
sim::StatusPhase fault(int64_t ms) { return phase(5, ms, 0, 0, 0, kMotorFault); }

// Disconnects from another thread, once, in the first pause of the caller's own (not the
// simulated exchange's, which holds the exchange lock) after `when` holds.
struct DisconnectingClock : VirtualClock {
    explicit DisconnectingClock(std::function<bool()> when) : m_when(std::move(when)) {}
    void sleepMs(int64_t ms) override
    {
        VirtualClock::sleepMs(ms);
        if (ms >= kOwnPauseMs && m_firedAt < 0 && m_when()) {
            m_firedAt = monotonicMs();
            std::thread([] { disconnMachine(); }).join();
        }
    }
    int64_t sinceDisconnect() { return monotonicMs() - m_firedAt; }
    static constexpr int64_t kOwnPauseMs = 100;
    std::function<bool()> m_when;
    std::atomic<int64_t> m_firedAt{-1};
};

}  // namespace

TEST_F(Cycle, WhatTheMachineIsSent)
{
    configure();
    ASSERT_EQ(stamp(2, 123.456, 80.0, 270, SEAL_PHOTOSENSITIVE), (CycleResult{true, 0, false}));
    const Bytes sent = s.frames()[1];  // after the readiness poll
    EXPECT_EQ(sent,
              (Bytes{0xAA, 0x55, 0x02, 0x0B, 0x60, 0x03, 0x00, 2, 0x30, 0x39, 0x1F, 0x40, 0x01, 0x0E, 1, sent.at(15)}));
    EXPECT_EQ(s.commandsWithCode(kStyleCode), 0u);

    // Clamped into the travel first, shifted by the seal afterwards; the style comes first.
    configure("seal_dx=3\nseal_dy=-2");
    ASSERT_TRUE(std::get<0>(stamp(1, 40.0, 150.0, 0, SEAL_ORDINARY, CSeal::STAMP_ACROSS_PAGE)));
    const sim::StampRequest made = s.machine().stamps().back();
    EXPECT_EQ(std::tuple(made.x, made.y, made.stampStyle), std::tuple(6000, 14800, 0));
    EXPECT_EQ(s.frames()[1][5], kStyleCode);
    EXPECT_EQ(s.frames()[1][6], 0x00);
}

TEST_F(Cycle, RefusedBeforeTheMachineIsAskedAndByIt)
{
    configure("seal_dy=-10");
    for (int seal : {0, 7}) EXPECT_EQ(stamp(seal), (CycleResult{false, EC_SEAL_NUMBER_OUT_OF_RANGE, false})) << seal;
    for (int angle : {361, -1})
        EXPECT_EQ(stamp(1, 150, 150, angle), (CycleResult{false, EC_ANGLE_OUT_OF_RANGE, false})) << angle;
    // Clamped to 4.0 and shifted to -6.0: no position the machine could be sent.
    EXPECT_EQ(stamp(1, 150, 3.0), (CycleResult{false, EC_OUT_OF_BOUNDS, false}));
    EXPECT_TRUE(s.frames().empty());
    EXPECT_TRUE(std::get<0>(stamp(1, 150, 150, 360)));

    // Refusals by the machine.
    configure();
    s.refuse(kStampCode);
    EXPECT_EQ(stamp(1), (CycleResult{false, EC_FAIL, true}));
    s.refuse(kStyleCode);
    EXPECT_EQ(stamp(1, 150, 150, 0, SEAL_ORDINARY, CSeal::STAMP_CALIBRATION), (CycleResult{false, EC_FAIL, true}));
    // Another attempt cannot fill an empty slot.
    s.machine().setSlot(3, false);
    EXPECT_EQ(stamp(3), (CycleResult{false, EC_NO_SEAL, false}));

    s.machine().setDoorOpen(sim::Door::Paper, true);
    s.machine().clearLog();
    EXPECT_EQ(stamp(1), (CycleResult{false, EC_PAPER_DOOR_OPEN, false}));
    EXPECT_EQ(stampCommands(), 0u);
}

TEST_P(Courses, EndsAsTheMachineShowsIt)
{
    configure();
    const Course& c = GetParam();
    script(c.phases, c.showsComplete);
    EXPECT_EQ(stamp(), c.expected);
    EXPECT_EQ(GetPrintReset(), c.printReset ? 1 : 0);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Stamp, Courses,
    ::testing::Values(
        Course{"completeAndReady", {busy(1000)}, true, {true, 0, false}, false},
        Course{"preCompleteThenReady", {busy(1000), busy(300, 0, kPreComplete)}, false, {true, 0, false}, false},
        Course{"faultResetReady", {busy(1000), fault(1000), phase(2, 2000)}, false, {false, EC_FAIL, true}, true},
        Course{"faultAfterCompletion", {busy(1000), busy(400, kComplete), fault(600), phase(1, 1000)}, false,
               {true, 0, false}, true},
        Course{"readyWithoutAnySign", {busy(300), phase(3, 6000)}, false, {false, EC_FAIL, true}, false},
        Course{"stall", {busy(kEver)}, false, {false, EC_TIMEOUT, false}, true},
        Course{"stallAfterCompletion", {busy(1000), busy(kEver, kComplete)}, false, {true, EC_TIMEOUT, false}, true},
        Course{"emptiedBeforeCompletion", {busy(1000), busy(kEver, 0, 0, kSlotEmpty)}, false,
               {false, EC_NO_SEAL, false}, false},
        Course{"emptiedAfterCompletion", {busy(400, kComplete), busy(kEver, 0, 0, kSlotEmpty)}, false,
               {true, EC_NO_SEAL, false}, false}),
    [](const ::testing::TestParamInfo<Course>& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(Cycle, PausesAndLimits)
{
    // After a fault and a reset the machine gets the configured pause once it is ready.
    configure("print_error_sleep=2000");
    script({busy(1000), busy(400, kComplete), fault(600), phase(1, 1000)});
    int64_t t = s.now();
    EXPECT_TRUE(std::get<0>(stamp()));
    EXPECT_GE(s.now() - t, 3000 + 2000);
    EXPECT_LE(s.now() - t, 3000 + 2000 + 250);

    // Pre-completion is enough; a fault after it is only written down.
    configure("before_print=yes\nbefore_print_sleep=500");
    script({busy(1000), busy(300, 0, kPreComplete), fault(2000)});
    t = s.now();
    EXPECT_EQ(stamp(), (CycleResult{true, 0, false}));
    EXPECT_GE(s.now() - t, 1000 + 500);
    EXPECT_LE(s.now() - t, 1000 + 500 + 250);
    s.clock().advance(2000);

    // A reset state lifts the limit to 210 s.
    configure();
    s.machine().setExchangeLatencyMs(20);
    script({busy(1000), phase(1, 100000)}, true);
    EXPECT_EQ(stamp(), (CycleResult{true, 0, false}));
    EXPECT_EQ(GetPrintReset(), 1);

    // A long but otherwise ordinary cycle is reported as a possible reset.
    script({busy(14000), busy(1000)}, true);
    EXPECT_TRUE(std::get<0>(stamp()));
    EXPECT_EQ(GetPrintReset(), 0);
    script({busy(16500), busy(500)}, true);
    EXPECT_TRUE(std::get<0>(stamp()));
    EXPECT_EQ(GetPrintReset(), 1);
}

TEST_F(Cycle, EndsAtOnceWhenTheLinkIsClosedUnderIt)
{
    // While the machine stamps, and while it is waited for before the stamp.
    for (bool stamping : {true, false}) {
        configure();
        if (stamping)
            script({busy(kEver)});
        else
            s.machine().scriptStatus({busy(kEver, 0, kPreComplete)});
        DisconnectingClock clock([&] { return stamping ? stampCommands() > 0 : s.heartbeats() > 5; });
        {
            ScopedClock scoped(&clock);
            EXPECT_EQ(autoPrintStart(1, 100, 50, 0), EC_DISCONNECTED) << stamping;
            EXPECT_LT(clock.sinceDisconnect(), 1000) << stamping;
        }
        setClock(&s.clock());
        EXPECT_EQ(stampCommands(), stamping ? 1u : 0u);
        s.machine().scriptStatus({});
    }
}

TEST_F(Reset, ReadyAfterTheSelfCheckOrWithoutASealInTheMachine)
{
    configure();
    // The machine's own reset (1, 2, then ready, some seconds later), run end to end by the
    // command-line tests. A fault whose second look already shows ready.
    s.machine().scriptStatus({polls(3, 1), polls(1, 2), polls(5, 1, kMotorFault), polls(3, 0)});
    EXPECT_EQ(initializationMachine(), EC_OK);
    // The machine refuses to reset without a seal: nothing to initialise.
    s.machine().scriptStatus({});
    for (int n = 1; n <= 6; ++n) s.machine().setSlot(n, false);
    EXPECT_EQ(initializationMachine(), EC_OK);
}

TEST_F(Reset, FailuresAndTheirCodesAndAnEndAfter130Polls)
{
    configure();
    s.machine().scriptStatus({polls(3, 1), polls(1, 0)});
    s.machine().clearLog();
    const int64_t t = s.now();
    EXPECT_EQ(initializationMachine(), EC_TIMEOUT);
    EXPECT_EQ(s.heartbeats(), 1u + 1 + 130);
    EXPECT_GE(s.now() - t, 131 * 500);
    EXPECT_LT(s.now() - t, 131 * 500 + 2000);

    s.machine().scriptStatus({polls(3, 0)});  // never starts
    s.machine().clearLog();
    EXPECT_EQ(initializationMachine(), EC_FAIL);
    EXPECT_GE(s.commandsWithCode(0x02), 1u);

    s.machine().scriptStatus({polls(3, 1), polls(1, 1), polls(5, 0, kMotorFault)});
    EXPECT_EQ(initializationMachine(), EC_MOTOR_X);

    s.machine().scriptStatus({});
    s.machine().setStatus({});
    s.machine().setDoorOpen(sim::Door::Paper, true);
    s.machine().setDoorOpen(sim::Door::Side, true);
    s.machine().clearLog();
    EXPECT_EQ(initializationMachine(), EC_BACK_DOOR_OPEN);
    s.machine().setDoorOpen(sim::Door::Side, false);
    EXPECT_EQ(initializationMachine(), EC_PAPER_DOOR_OPEN);
    EXPECT_EQ(s.commandsWithCode(0x00), 0u);  // no reset command
}
