// The status record read as readiness to stamp, and the pre-checks (what a record means on its
// own: tests/link/link_test.cpp).

#include "tests/support/sim_session.h"

using namespace stampctl;
using sim::StatusPhase;
using sim::StatusRecord;

namespace {

StatusRecord record(uint8_t state, uint8_t w1 = 0, uint8_t w2 = 0, uint8_t w3 = 0, uint8_t fault = 0, uint8_t doors = 0)
{
    return StatusRecord{state, 0, doors, w1, w2, w3, fault};
}
StatusPhase forMs(const StatusRecord& r, int64_t ms) { return StatusPhase{r, ms, 0}; }
StatusPhase forPolls(const StatusRecord& r, int polls) { return StatusPhase{r, 0, polls}; }

using Status = test::Connected;

TEST_F(Status, ReadyAtOnceOrAfterBusyElseATimeOutAfter30Seconds)
{
    s.machine().scriptStatus({forMs(record(4), 5000), forMs(record(4, 0, 0, 0, 0, 0x40), 1000)});
    const int64_t start = s.now();
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_OK);
    EXPECT_GE(s.now() - start, 6000);

    // Busy, or resetting after a position error: a time-out after 30 seconds.
    s.machine().setExchangeLatencyMs(10);  // fewer polls, the same limit
    for (const StatusRecord& r : {record(4), record(5, 0x01)}) {
        s.machine().setStatus(r);
        const int64_t start = s.now();
        EXPECT_EQ(s.seal().CheckCanPrint(), EC_TIMEOUT);
        EXPECT_GT(s.now() - start, 30000);
        EXPECT_LT(s.now() - start, 31000);
    }
}

TEST_F(Status, ResetSeenExtendsTheLimitTo210SecondsAndAFaultCountsAtItsSecondSighting)
{
    s.machine().setExchangeLatencyMs(50);
    s.machine().scriptStatus({forPolls(record(1), 1), forMs(record(4), 100000)});
    const int64_t start = s.now();
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_OK);
    EXPECT_GE(s.now() - start, 100000);

    s.machine().scriptStatus({forPolls(record(2), 1)});
    s.machine().setStatus(record(4));
    const int64_t again = s.now();
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_TIMEOUT);
    EXPECT_GT(s.now() - again, 210000);
    EXPECT_LT(s.now() - again, 211000);

    // A fault is reported at its second sighting, and open doors first.
    s.machine().scriptStatus({forPolls(record(5, 0, 0x04), 1), forPolls(record(4), 3), forPolls(record(5, 0, 0x04), 1),
                              forPolls(record(3), 1)});
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_NO_SEAL);

    s.machine().setDoorOpen(sim::Door::Paper, true);
    s.machine().setDoorOpen(sim::Door::Side, true);
    s.machine().setStatus(record(5, 0, 0x04));
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_BACK_DOOR_OPEN);
    s.machine().setDoorOpen(sim::Door::Side, false);
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_PAPER_DOOR_OPEN);
}

TEST_F(Status, LostMachineTimesOutWithPausedRetries)
{
    s.machine().setPlugged(false);
    const int64_t start = s.now();
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_TIMEOUT);
    EXPECT_GE(s.now() - start, 30000);
    EXPECT_LT(s.now() - start, 30000 + 300 + 10);
}

}  // namespace
