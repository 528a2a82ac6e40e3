// The status model: scripted sequences on the clock, boards, covers, resets and stamps.
#include <atomic>
#include <thread>

#include "stampctl/frame/clock.h"
#include "sim_wire.h"

namespace stampctl::sim::test {
namespace {

uint8_t stateOf(SimMachine& m) { return accepted(m, kHeartbeat).packet[4]; }

StatusPhase phase(uint8_t state, int64_t ms, int heartbeats = 0)
{
    StatusPhase p;
    p.status.stampStatus = state;
    p.durationMs = ms;
    p.heartbeats = heartbeats;
    return p;
}

TEST(SimStatus, ScriptPlaysByHeartbeatsAndOnTheClockThenFallsBackToTheMachine)
{
    VirtualClock clk;
    ScopedClock use(&clk);
    SimMachine m;
    m.setExchangeLatencyMs(0);  // only the test moves the clock
    m.scriptStatus({phase(kResetStarting, 0, 1), phase(kBusy, 100000), phase(kWarning, 0, 2)});
    EXPECT_EQ(stateOf(m), kResetStarting);
    EXPECT_EQ(stateOf(m), kBusy);
    clk.advance(99999);
    EXPECT_EQ(stateOf(m), kBusy);
    clk.advance(1);
    EXPECT_EQ(stateOf(m), kWarning);
    EXPECT_EQ(stateOf(m), kWarning);
    EXPECT_EQ(stateOf(m), kReady);

    // Phases on the clock end on time even when nobody asks.
    m.setStatus(StatusRecord{kWarning, 0, 0, 0x01, 0, 0, 0x20});
    m.scriptStatus({phase(kBusy, 1000), phase(kResetting, 1000)});
    clk.advance(1500);
    EXPECT_EQ(stateOf(m), kResetting);
    clk.advance(500);
    EXPECT_EQ(m.currentStatus(), (StatusRecord{kWarning, 0, 0, 0x01, 0, 0, 0x20}));
}

TEST(SimStatus, MachineBitsAreAddedToTheScriptedRecord)
{
    SimMachine m;
    StatusPhase p;
    p.status = StatusRecord{kWarning, 0, 0, 0x40, 0x04, 0x08, 0x01};
    m.scriptStatus({p});
    m.setTopCoverOpen(true);
    m.setDoorOpen(Door::Paper, true);
    m.setBoard(Board::Backup);
    const Reply r = accepted(m, kHeartbeat);
    EXPECT_EQ(Bytes(r.packet.begin() + 4, r.packet.begin() + 11),
              (Bytes{kWarning, kStateBackupBoard, kDoorPaperOpen, 0xC0, 0x04, 0x08, 0x01}));
    EXPECT_EQ(m.currentStatus().warn1, 0xC0);
}

TEST(SimStatus, BackupBoardServesOnlyItsOwnCommands)
{
    SimMachine m;
    m.setBoard(Board::Backup);
    // Served: machine number, security code, paper door, abnormal records, seal locks.
    accepted(m, query(0x01));
    accepted(m, set(0x0C, Bytes(51, 0)));
    accepted(m, set(0x06, {0x00, 0x01, 0x1E, 0x00}));
    accepted(m, query(0x07, {0x00, 0x00}));
    accepted(m, set(0x23, {0x00, 0x01}));
    // Everything else is refused and not carried out.
    for (const Bytes& f : {set(0x0D, {0x00, 0x01}), query(0x0A), query(0x0F),
                           set(0x08, {0x00, 0x01, 0x78, 0x00}), query(0x25)}) {
        const Reply r = transact(m, f);
        EXPECT_TRUE(r.refused()) << int(f[5]);
        EXPECT_EQ(r.packet[5], f[5]);
    }
    EXPECT_FALSE(m.lightOn());
    EXPECT_FALSE(m.door(Door::Side).open);
    EXPECT_EQ(m.sealLockByte(), 0x01);
    m.setBoard(Board::Main);
    accepted(m, set(0x0D, {0x00, 0x01}));
}

Bytes stampFrame(int seal, int x, int y, int angle, int kind = 0)
{
    return set(0x03, {0x00, static_cast<unsigned char>(seal), static_cast<unsigned char>(x >> 8),
                      static_cast<unsigned char>(x & 0xFF), static_cast<unsigned char>(y >> 8),
                      static_cast<unsigned char>(y & 0xFF), static_cast<unsigned char>(angle >> 8),
                      static_cast<unsigned char>(angle & 0xFF), static_cast<unsigned char>(kind)});
}

TEST(SimStatus, StampRunsBusyPreCompleteThenReadyWithTheCompleteBit)
{
    VirtualClock clk;
    ScopedClock use(&clk);
    SimMachine m;
    m.setExchangeLatencyMs(0);
    accepted(m, stampFrame(2, 12345, 6000, 270, 1));
    const auto st = m.state().stamps;
    ASSERT_EQ(st.size(), 1u);
    EXPECT_EQ((std::vector<int>{st[0].seal, st[0].x, st[0].y, st[0].angle, st[0].style}),
              (std::vector<int>{2, 12345, 6000, 270, 1}));

    Reply r = accepted(m, kHeartbeat);
    EXPECT_EQ(r.packet[4], kBusy);
    EXPECT_EQ(r.packet[6] & kDoorPreComplete, 0);
    EXPECT_TRUE(transact(m, stampFrame(1, 0, 0, 0)).refused());  // busy
    clk.advance(1500);
    r = accepted(m, kHeartbeat);
    EXPECT_EQ(r.packet[4], kBusy);
    EXPECT_EQ(r.packet[6] & kDoorPreComplete, kDoorPreComplete);
    clk.advance(300);
    r = accepted(m, kHeartbeat);
    EXPECT_EQ(r.packet[4], kReady);
    EXPECT_EQ(r.packet[5], kStateStampComplete);
}

TEST(SimStatus, StampFromAnEmptySlotIsRefusedAndFlaggedUntilTheNextCommand)
{
    SimMachine m;
    m.setSlot(4, false);
    EXPECT_TRUE(transact(m, stampFrame(4, 100, 100, 0)).refused());
    EXPECT_TRUE(transact(m, stampFrame(7, 100, 100, 0)).refused());
    m.setDoorOpen(Door::Paper, true);
    EXPECT_TRUE(transact(m, stampFrame(3, 100, 100, 0)).refused());
    m.setDoorOpen(Door::Paper, false);
    EXPECT_TRUE(m.state().stamps.empty());
    EXPECT_EQ(accepted(m, kHeartbeat).packet[8], kWarn2SlotEmpty);
    accepted(m, stampFrame(3, 100, 100, 0));
    EXPECT_EQ(accepted(m, kHeartbeat).packet[8], 0);
}

TEST(SimStatus, ResetReportsStateOneAtOnceThenTwoThenReady)
{
    VirtualClock clk;
    ScopedClock use(&clk);
    SimMachine m;
    m.setExchangeLatencyMs(0);
    accepted(m, stampFrame(1, 0, 0, 0));
    clk.advance(5000);
    accepted(m, set(0x00, {0x00}));
    Reply r = accepted(m, kHeartbeat);
    EXPECT_EQ(r.packet[4], kResetStarting);
    EXPECT_EQ(r.packet[5], 0);  // the last stamp's complete bit is gone
    clk.advance(500);
    EXPECT_EQ(stateOf(m), kResetStarting);
    clk.advance(1000);
    EXPECT_EQ(stateOf(m), kResetting);
    clk.advance(1500);
    EXPECT_EQ(stateOf(m), kReady);
}

TEST(SimStatus, ScriptingWhileTheHostPollsKeepsEveryReplyWhole)
{
    SimMachine m;
    m.setExchangeLatencyMs(0);
    std::atomic<bool> done{false};
    std::thread script([&] {
        for (int i = 0; !done; ++i) {
            m.setDoorOpen(Door::Paper, i % 2 == 0);
            m.setStatus(StatusRecord{static_cast<uint8_t>(i % 2 ? kBusy : kReady)});
            (void)m.state();
        }
    });
    for (int i = 0; i < 2000; ++i) {
        const Reply r = transact(m, kHeartbeat);
        ASSERT_EQ(r.kind(), 0x81);
        ASSERT_TRUE(r.checksumOk());
    }
    done = true;
    script.join();
    EXPECT_EQ(m.heartbeatCount(), 2000);
}

}  // namespace
}  // namespace stampctl::sim::test
