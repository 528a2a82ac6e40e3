// The status record read as one fault, as trace lines, and as readiness to stamp.
#include <gtest/gtest.h>

#include "stampctl/frame/result_codes.h"
#include "stampctl/stampctl.h"
#include "tests/support/sim_session.h"

using namespace stampctl;
using sim::StatusPhase;
using sim::StatusRecord;

namespace {

StatusRecord record(uint8_t state, uint8_t w1 = 0, uint8_t w2 = 0, uint8_t w3 = 0,
                    uint8_t fault = 0, uint8_t doors = 0)
{
    StatusRecord r;
    r.stampStatus = state;
    r.warn1 = w1;
    r.warn2 = w2;
    r.warn3 = w3;
    r.fault = fault;
    r.doorFlags = doors;
    return r;
}

StatusPhase forMs(const StatusRecord& r, int64_t ms) { return StatusPhase{r, ms, 0}; }
StatusPhase forPolls(const StatusRecord& r, int polls) { return StatusPhase{r, 0, polls}; }

class Status : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(s.connect(), EC_OK); }
    // The code GetMachineERR gives after a heartbeat has fetched `r`.
    int faultOf(const StatusRecord& r)
    {
        s.machine().setStatus(r);
        s.seal().ExeHeart();
        return s.seal().GetMachineERR();
    }
    int64_t now() { return s.clock().monotonicMs(); }
    test::SimSession s;
};

TEST_F(Status, MostImportantFaultWins)
{
    EXPECT_EQ(faultOf(record(5, 0, 0x04, 0, 0x01)), EC_NO_SEAL);
    EXPECT_EQ(faultOf(record(5, 0x01, 0, 0, 0x20)), EC_MOTOR_8005);
    EXPECT_EQ(faultOf(record(5, 0x40, 0x02)), EC_SEAL_SLEEVE_CHANGED);
    EXPECT_EQ(faultOf(record(5, 0x40, 0, 0x04)), EC_SEAL_MISPLACED);
    EXPECT_EQ(faultOf(record(5, 0, 0x01, 0x0C)), EC_MACHINE_FAULT_8017);
    EXPECT_EQ(faultOf(record(5, 0, 0x01, 0x08)), EC_DEVICE_INIT);
    EXPECT_EQ(faultOf(record(5, 0, 0x01)), EC_SEAL_MISSING);
    // The state byte is not looked at.
    EXPECT_EQ(faultOf(record(3, 0x08)), EC_TRAVEL_8013);
}

TEST_F(Status, UnrankedWarningIsLoggedButGivesNoCode)
{
    s.machine().clearLog();
    EXPECT_EQ(faultOf(record(5, 0x10, 0x08)), EC_FAIL);
    EXPECT_TRUE(s.traced("GetMachineERR return EC_FAIL"));
    EXPECT_EQ(s.tracedCount("警告码:推杆上有印章（印章太多）"), 1u);

    // Outside state 5 nothing is logged, whatever bits are set.
    faultOf(record(3, 0x02, 0, 0, 0x10));
    EXPECT_FALSE(s.traced("警告码:Y轴走位置出错"));
    EXPECT_FALSE(s.traced("故障码:Z轴电机故障"));
}

TEST_F(Status, ReadyAtOnceOrAfterBusyAndPreCompletion)
{
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_OK);

    s.machine().scriptStatus({forMs(record(4), 5000), forMs(record(4, 0, 0, 0, 0, 0x40), 1000)});
    const int64_t start = now();
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_OK);
    EXPECT_GE(now() - start, 6000);
}

TEST_F(Status, BusyOrResettingAfterAPositionErrorTimesOutAfter30Seconds)
{
    s.machine().setExchangeLatencyMs(10);  // fewer polls, the same limit
    for (const StatusRecord& r : {record(4), record(5, 0x01)}) {
        s.machine().setStatus(r);
        const int64_t start = now();
        EXPECT_EQ(s.seal().CheckCanPrint(), EC_TIMEOUT);
        EXPECT_GT(now() - start, 30000);
        EXPECT_LT(now() - start, 31000);
    }
    EXPECT_TRUE(s.seal().IsReseting());
    EXPECT_EQ(s.tracedCount("fail timeout"), 2u);
}

TEST_F(Status, ResetSeenExtendsTheLimitTo210Seconds)
{
    s.machine().setExchangeLatencyMs(50);
    s.machine().scriptStatus({forPolls(record(1), 1), forMs(record(4), 100000)});
    const int64_t start = now();
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_OK);
    EXPECT_GE(now() - start, 100000);

    s.machine().scriptStatus({forPolls(record(2), 1)});
    s.machine().setStatus(record(4));
    const int64_t again = now();
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_TIMEOUT);
    EXPECT_GT(now() - again, 210000);
    EXPECT_LT(now() - again, 211000);
}

TEST_F(Status, FaultIsReportedAtItsSecondSighting)
{
    s.machine().scriptStatus({forPolls(record(5, 0, 0x04), 1), forPolls(record(4), 3),
                              forPolls(record(5, 0, 0x04), 1), forPolls(record(3), 1)});
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_NO_SEAL);
    EXPECT_TRUE(s.traced("<--CheckCanPrint return:-500, 设备故障  m_CStampStatus.stamp_status = 5"));
}

TEST_F(Status, OpenDoorsAreReportedBeforeTheState)
{
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
    const int64_t start = now();
    EXPECT_EQ(s.seal().CheckCanPrint(), EC_TIMEOUT);
    EXPECT_LT(now() - start, 30000 + 300 + 10);
    // 300 ms between attempts: about a hundred polls, not thousands.
    EXPECT_LE(s.tracedCount("ExeHeart fail"), 101u);
    EXPECT_GE(s.tracedCount("ExeHeart fail"), 100u);
}

TEST_F(Status, BackupBoardHidesDoorsAndRefusesMainBoardOperations)
{
    s.machine().setBoard(sim::Board::Backup);
    s.machine().setDoorOpen(sim::Door::Paper, true);
    s.machine().setDoorOpen(sim::Door::Side, true);

    EXPECT_EQ(s.seal().initCheckBb(), EC_OK);
    EXPECT_FALSE(s.seal().mainBoard());
    EXPECT_EQ(s.seal().paperDoorOpen(), 0);
    EXPECT_EQ(s.seal().backDoorOpen(), 0);
    EXPECT_EQ(s.seal().initCheckZb(), EC_NEED_MAIN_BOARD);
    EXPECT_TRUE(s.traced("Return :-610, 备板不支持该功能"));

    s.machine().setBoard(sim::Board::Main);
    EXPECT_EQ(s.seal().initCheckZb(), EC_OK);
    EXPECT_EQ(s.seal().paperDoorOpen(), 1);
    EXPECT_EQ(s.seal().backDoorOpen(), 1);
}

}  // namespace
