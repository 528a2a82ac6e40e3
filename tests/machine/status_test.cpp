// The status record read as one fault and as readiness to stamp.

#include "tests/support/sim_session.h"

using namespace stampctl;
using sim::StatusPhase;
using sim::StatusRecord;

namespace {

StatusRecord record(uint8_t state, uint8_t w1 = 0, uint8_t w2 = 0, uint8_t w3 = 0, uint8_t fault = 0,
                    uint8_t doors = 0)
{
    return StatusRecord{state, 0, doors, w1, w2, w3, fault};
}
StatusPhase forMs(const StatusRecord& r, int64_t ms) { return StatusPhase{r, ms, 0}; }
StatusPhase forPolls(const StatusRecord& r, int polls) { return StatusPhase{r, 0, polls}; }

class Status : public test::Connected {
protected:
    // The code GetMachineERR gives after a heartbeat has fetched `r`.
    int faultOf(const StatusRecord& r)
    {
        s.machine().setStatus(r);
        s.seal().ExeHeart();
        return s.seal().GetMachineERR();
    }
};

// Every bit of the warning and fault bytes on its own (the top cover, which disconnects, aside).
struct Bit {
    int byte;  // warn1, warn2, warn3, fault
    uint8_t mask;
    int code;
};
const Bit kBits[] = {
    {0, 0x01, EC_TRAVEL_X}, {0, 0x02, EC_TRAVEL_Y},        {0, 0x04, EC_TRAVEL_Z},
    {0, 0x08, EC_TRAVEL_ROTATION}, {0, 0x10, EC_FAIL},               {0, 0x20, EC_FAIL},
    {0, 0x40, EC_SEAL_MISPLACED},
    {1, 0x01, EC_SEAL_MISSING}, {1, 0x02, EC_SEAL_SLEEVE_CHANGED}, {1, 0x04, EC_NO_SEAL},
    {1, 0x08, EC_FAIL},         {1, 0x10, EC_FAIL},               {1, 0x80, EC_FAIL},
    {2, 0x01, EC_FAIL},         {2, 0x02, EC_FAIL},               {2, 0x04, EC_TOP_COVER_LOOSE},
    {2, 0x08, EC_DEVICE_SELF_TEST_FAILED},
    {3, 0x01, EC_BACK_DOOR_FAULT}, {3, 0x02, EC_PAPER_DOOR_FAULT}, {3, 0x04, EC_MOTOR_X},
    {3, 0x08, EC_MOTOR_Y},   {3, 0x10, EC_MOTOR_Z},         {3, 0x20, EC_MOTOR_ROTATION},
};

TEST_F(Status, EachBitGivesItsOwnCode)
{
    for (const Bit& b : kBits) {
        uint8_t v[4] = {};
        v[b.byte] = b.mask;
        EXPECT_EQ(faultOf(record(5, v[0], v[1], v[2], v[3])), b.code) << b.byte << ": " << int(b.mask);
    }
}

TEST_F(Status, MostImportantFaultWins)
{
    EXPECT_EQ(faultOf(record(5, 0, 0x04, 0, 0x01)), EC_NO_SEAL);
    EXPECT_EQ(faultOf(record(5, 0x01, 0, 0, 0x20)), EC_MOTOR_ROTATION);
    EXPECT_EQ(faultOf(record(5, 0x40, 0x02)), EC_SEAL_SLEEVE_CHANGED);
    EXPECT_EQ(faultOf(record(5, 0x40, 0, 0x04)), EC_SEAL_MISPLACED);
    EXPECT_EQ(faultOf(record(5, 0, 0x01, 0x0C)), EC_TOP_COVER_LOOSE);
    EXPECT_EQ(faultOf(record(3, 0x08)), EC_TRAVEL_ROTATION);  // the state byte is not looked at
}

TEST_F(Status, ReadyAtOnceOrAfterBusyAndPreCompletion)
{
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_OK);
    s.machine().scriptStatus({forMs(record(4), 5000), forMs(record(4, 0, 0, 0, 0, 0x40), 1000)});
    const int64_t start = s.now();
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_OK);
    EXPECT_GE(s.now() - start, 6000);
}

TEST_F(Status, BusyOrResettingAfterAPositionErrorTimesOutAfter30Seconds)
{
    s.machine().setExchangeLatencyMs(10);  // fewer polls, the same limit
    for (const StatusRecord& r : {record(4), record(5, 0x01)}) {
        s.machine().setStatus(r);
        const int64_t start = s.now();
        EXPECT_EQ(s.seal().CheckCanPrint(), EC_TIMEOUT);
        EXPECT_GT(s.now() - start, 30000);
        EXPECT_LT(s.now() - start, 31000);
    }
    EXPECT_TRUE(s.seal().IsReseting());
}

TEST_F(Status, ResetSeenExtendsTheLimitTo210Seconds)
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
}

TEST_F(Status, FaultIsReportedAtItsSecondSightingAndOpenDoorsFirst)
{
    s.machine().scriptStatus({forPolls(record(5, 0, 0x04), 1), forPolls(record(4), 3),
                              forPolls(record(5, 0, 0x04), 1), forPolls(record(3), 1)});
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

TEST_F(Status, BackupBoardHidesDoorsAndRefusesMainBoardOperations)
{
    s.machine().setBoard(sim::Board::Backup);
    s.machine().setDoorOpen(sim::Door::Paper, true);
    s.machine().setDoorOpen(sim::Door::Side, true);
    EXPECT_EQ(s.seal().initCheckBb(), EC_OK);
    EXPECT_FALSE(s.seal().mainBoard());
    EXPECT_EQ(std::pair(s.seal().paperDoorOpen(), s.seal().backDoorOpen()), std::pair(0, 0));
    EXPECT_EQ(s.seal().initCheckZb(), EC_NEED_MAIN_BOARD);

    s.machine().setBoard(sim::Board::Main);
    EXPECT_EQ(s.seal().initCheckZb(), EC_OK);
    EXPECT_EQ(std::pair(s.seal().paperDoorOpen(), s.seal().backDoorOpen()), std::pair(1, 1));
}

}  // namespace
