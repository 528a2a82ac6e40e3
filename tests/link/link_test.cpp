// The link on the simulated machine's transport alone, without a controller: what a poll
// publishes and who hears of it, how a refusal is explained, and what a status record means.

#include <gtest/gtest.h>

#include <vector>

#include "stampctl/core/clock.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/link/link.h"
#include "stampctl/sim/sim_machine.h"

using namespace stampctl;

namespace {

CStampStatus record(uint8_t state, uint8_t w1 = 0, uint8_t w2 = 0, uint8_t w3 = 0, uint8_t fault = 0)
{
    CStampStatus s;
    s.stamp_status = state;
    s.warn_code1 = w1, s.warn_code2 = w2, s.warn_code3 = w3, s.fault_code = fault;
    return s;
}

class LinkOnSim : public ::testing::Test {
protected:
    LinkOnSim()
    {
        m.resetToDefault();
        link.setPollObserver([this](const CStampStatus& s) { heard.push_back(s); });
    }
    void SetUp() override { ASSERT_GE(link.open(), 0); }
    VirtualClock clock;
    ScopedClock scoped{&clock};
    sim::SimMachine& m = sim::machine();
    link::Link link{sim::makeSimTransport()};
    std::vector<CStampStatus> heard;
};

TEST_F(LinkOnSim, PollPublishesItsRecordAndTellsTheObserver)
{
    m.setDoorOpen(sim::Door::Paper, true);
    const link::StatusPoll poll = link.poll();
    EXPECT_EQ(poll.code, EC_OK);
    EXPECT_EQ(link.status().m_iIsPaperOpen, 1);
    EXPECT_EQ(link.status().door_flags, poll.status.door_flags);
    EXPECT_TRUE(link.mainBoard());
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].m_iIsPaperOpen, 1);

    // The backup board's doors do not count.
    m.setBoard(sim::Board::Backup);
    m.setDoorOpen(sim::Door::Side, true);
    EXPECT_EQ(link.poll().code, EC_OK);
    EXPECT_FALSE(link.mainBoard());
    EXPECT_EQ(link.status().m_iIsPaperOpen + link.status().m_iIsBackDoorOpen, 0);

    // A poll that fails keeps the record, its doors closed, and tells nobody.
    m.setBoard(sim::Board::Main);
    link.poll();
    m.setPlugged(false);
    const link::StatusPoll lost = link.poll();
    EXPECT_EQ(lost.code, EC_PORT_OPENFAIL);
    EXPECT_EQ(lost.status.m_iIsPaperOpen + lost.status.m_iIsBackDoorOpen, 0);
    EXPECT_EQ(lost.status.door_flags, link.status().door_flags);
    EXPECT_EQ(heard.size(), 3u);
}

TEST_F(LinkOnSim, RefusalIsExplainedByAPollOfItsOwn)
{
    ASSERT_EQ(link.poll().code, EC_OK);  // the main board has answered
    sim::StatusRecord faulty;
    faulty.stampStatus = sim::kWarning;
    faulty.fault = 0x02;  // paper door fault
    m.setStatus(faulty);
    m.injectFault(sim::Fault::Refusal, 1, sim::FaultTarget::Command);
    link::Reply reply;
    EXPECT_EQ(link.execute(CMD_GET_MACHINE_ID, nullptr, 0, &reply), EC_PAPER_DOOR_FAULT);
    EXPECT_EQ(heard.size(), 2u);
    EXPECT_EQ(link.status().fault_code, 0x02);
}

struct Bit {
    int byte;  // warn1, warn2, warn3, fault
    uint8_t mask;
    int code;
};
// clang-format off
const Bit kBits[] = {
    {0, 0x01, EC_TRAVEL_X}, {0, 0x02, EC_TRAVEL_Y},        {0, 0x04, EC_TRAVEL_Z},
    {0, 0x08, EC_TRAVEL_ROTATION}, {0, 0x10, EC_FAIL},               {0, 0x20, EC_FAIL},
    {0, 0x40, EC_SEAL_MISPLACED}, {0, 0x80, EC_TOP_COVER_OPEN},
    {1, 0x01, EC_SEAL_MISSING}, {1, 0x02, EC_SEAL_SLEEVE_CHANGED}, {1, 0x04, EC_NO_SEAL},
    {1, 0x08, EC_FAIL},         {1, 0x10, EC_FAIL},               {1, 0x80, EC_FAIL},
    {2, 0x01, EC_FAIL},         {2, 0x02, EC_FAIL},               {2, 0x04, EC_TOP_COVER_LOOSE},
    {2, 0x08, EC_DEVICE_SELF_TEST_FAILED},
    {3, 0x01, EC_BACK_DOOR_FAULT}, {3, 0x02, EC_PAPER_DOOR_FAULT}, {3, 0x04, EC_MOTOR_X},
    {3, 0x08, EC_MOTOR_Y},   {3, 0x10, EC_MOTOR_Z},         {3, 0x20, EC_MOTOR_ROTATION},
};

// clang-format on
TEST(StatusRecord, EachBitGivesItsOwnCodeAndTheMostImportantWins)
{
    for (const Bit& b : kBits) {
        uint8_t v[4] = {};
        v[b.byte] = b.mask;
        EXPECT_EQ(status::machineError(record(5, v[0], v[1], v[2], v[3])), b.code) << b.byte << ": " << int(b.mask);
    }
    EXPECT_EQ(status::machineError(record(5, 0, 0x04, 0, 0x01)), EC_NO_SEAL);
    EXPECT_EQ(status::machineError(record(5, 0x01, 0, 0, 0x20)), EC_MOTOR_ROTATION);
    EXPECT_EQ(status::machineError(record(5, 0x40, 0x02)), EC_SEAL_SLEEVE_CHANGED);
    EXPECT_EQ(status::machineError(record(5, 0x40, 0, 0x04)), EC_SEAL_MISPLACED);
    EXPECT_EQ(status::machineError(record(5, 0, 0x01, 0x0C)), EC_TOP_COVER_LOOSE);
    EXPECT_EQ(status::machineError(record(3, 0x08)), EC_TRAVEL_ROTATION);  // state not looked at

    EXPECT_TRUE(status::isResetting(record(5, 0x01)));
    EXPECT_FALSE(status::isResetting(record(4, 0x01)));
    EXPECT_FALSE(status::isResetting(record(5, 0, 0x01)));
}

}  // namespace
