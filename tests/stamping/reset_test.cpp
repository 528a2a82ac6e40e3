// Resetting the mechanism: the machine's states after the reset command, polled to the end.
#include "stampctl/stampctl.h"
#include "tests/stamping/stamping_fixture.h"

using namespace stampctl;
using namespace stampctl::test;

namespace {

sim::StatusPhase polls(uint8_t state, int count, uint8_t fault = 0)
{
    return phase(state, 0, 0, 0, 0, fault, count);
}

class Reset : public Stamping {
protected:
    void SetUp() override { configure(); }
};

}  // namespace

TEST_F(Reset, ReadyAfterTheSelfCheck)
{
    // The machine's own reset: 1, 2, then ready, some seconds later.
    EXPECT_EQ(initializationMachine(), EC_OK);
    EXPECT_EQ(s.frames()[1], (Bytes{0xAA, 0x55, 0x02, 0x03, 0x60, 0x00, 0x00, 0x64}));
    EXPECT_GE(s.commandsWithCode(0x02), 1u);  // the seals read again

    // A fault whose second look already shows ready.
    s.machine().scriptStatus({polls(3, 1), polls(1, 2), polls(5, 1, kMotorFault), polls(3, 0)});
    EXPECT_EQ(initializationMachine(), EC_OK);
}

TEST_F(Reset, NoSealInTheMachineCountsAsInitialised)
{
    for (int n = 1; n <= 6; ++n) s.machine().setSlot(n, false);
    EXPECT_EQ(s.seal().realReset(), EC_SEAL_MISSING);
    EXPECT_EQ(initializationMachine(), EC_OK);
    EXPECT_TRUE(s.traced("_initializationMachine 自检后无章:, ret:-8014"));
}

TEST_F(Reset, FailuresAndTheirCodes)
{
    s.machine().scriptStatus({polls(3, 0)});  // never starts
    s.machine().clearLog();
    EXPECT_EQ(initializationMachine(), EC_FAIL);
    EXPECT_TRUE(s.traced("_initializationMachine fail:-602"));
    EXPECT_GE(s.commandsWithCode(0x02), 1u);

    s.machine().scriptStatus({polls(3, 1), polls(1, 1), polls(5, 0, kMotorFault)});
    EXPECT_EQ(initializationMachine(), EC_MOTOR_8002);

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

TEST_F(Reset, GivesUpAfter130Polls)
{
    s.machine().scriptStatus({polls(3, 1), polls(1, 0)});
    s.machine().clearLog();
    const int64_t t = now();
    EXPECT_EQ(initializationMachine(), EC_TIMEOUT);
    EXPECT_EQ(s.heartbeats(), 1u + 1 + 130);
    EXPECT_GE(now() - t, 131 * 500);
    EXPECT_LT(now() - t, 131 * 500 + 2000);
}
