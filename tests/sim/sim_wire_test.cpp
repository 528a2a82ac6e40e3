// The machine model at the frame level: what it answers, ignores and refuses, and the faults it
// can be told to commit.
#include "stampctl/core/clock.h"
#include "sim_wire.h"

namespace stampctl::sim::test {
namespace {

TEST(SimWire, HeartbeatReplyCarriesTheStatusBytesInAFullPacket)
{
    SimMachine m;
    const Reply r = accepted(m, kHeartbeat);
    const Bytes expectedHead{0xAA, 0x55, 0x81, 0x07, kReady, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(r.packet.begin(), r.packet.begin() + 11), expectedHead);
    EXPECT_EQ(r.packet[11], sum8(r.packet, 11));
    EXPECT_EQ(Bytes(r.packet.begin() + 12, r.packet.end()), Bytes(52, 0));
    EXPECT_EQ(m.heartbeatCount(), 1);
}

TEST(SimWire, GarbledTransfersGetNoAnswerAndTheReadTimesOut)
{
    VirtualClock clk;
    ScopedClock use(&clk);
    SimMachine m;
    // A bad checksum, a bad head, too short.
    for (const Bytes& f :
         {Bytes{0xAA, 0x55, 0x01, 0x00, 0x01}, Bytes{0xAB, 0x55, 0x01, 0x00, 0x01}, Bytes{0xAA, 0x55, 0x01, 0xFF}}) {
        const int64_t before = clk.monotonicMs();
        const Reply r = transact(m, f, 2000);
        EXPECT_EQ(r.rc, kUsbErrorTimeout);
        EXPECT_EQ(r.transferred, 0);
        EXPECT_EQ(clk.monotonicMs() - before, 2000);
    }
    EXPECT_EQ(m.receivedFrames().size(), 3u);  // they reached the machine all the same
    EXPECT_EQ(m.heartbeatCount(), 0);
}

TEST(SimWire, LengthByteMustMatchTheFrameAndUnknownOrMisshapenRequestsAreRefused)
{
    SimMachine m;
    // Frames exactly as the host builds them: the light, and the alarm entry whose length
    // byte 4 covers only three body bytes.
    accepted(m, {0xAA, 0x55, 0x02, 0x04, 0x60, 0x0D, 0x00, 0x01, 0x73});
    EXPECT_TRUE(m.lightOn());
    m.setAlarmLog({"A", "B"});
    Bytes entry{0xAA, 0x55, 0x03, 0x04, 0x60, 0x26, 0x01, 0x00};
    entry[7] = sum8(entry, 7);
    EXPECT_EQ(accepted(m, entry).text(), "B");

    // Any other command that announces a byte it does not carry is refused.
    Bytes slot{0xAA, 0x55, 0x03, 0x04, 0x60, 0x0F, 0x00, 0x00};
    slot[7] = sum8(slot, 7);
    const Reply r = transact(m, slot);
    EXPECT_TRUE(r.refused());
    EXPECT_TRUE(r.checksumOk());
    EXPECT_EQ(r.packet[5], 0x0F);

    // Unknown or misshapen requests are refused.
    EXPECT_TRUE(transact(m, query(0x55)).refused());                     // no such command
    EXPECT_TRUE(transact(m, frameOf(3, {0x61, 0x0F, 0x00})).refused());  // lead byte not 0x60
    EXPECT_TRUE(transact(m, frameOf(4, {0x60, 0x0F, 0x00})).refused());  // no such kind
    EXPECT_TRUE(transact(m, frameOf(1, {0x00})).refused());              // heartbeat with a body
    EXPECT_TRUE(transact(m, set(0x01, Bytes(11, 0x4F))).refused());      // 11 of 12 bytes
    EXPECT_TRUE(transact(m, query(0x01, {0x00, 0x00})).refused());       // query with extras
    EXPECT_EQ(m.machineNum(), "OV2026000117");
}

TEST(SimFaults, LostRepliesTakeTheHostsTimeOnTheClockAndHitOnlyTheirTarget)
{
    VirtualClock clk;
    ScopedClock use(&clk);
    SimMachine m;
    m.setExchangeLatencyMs(0);
    m.setAlarmLog({"A", "B", "C"});
    m.injectFault(FaultSpec{Fault::ReadTimeout, 1, FaultTarget::Any, 0x26, 1});
    accepted(m, kHeartbeat);
    EXPECT_EQ(accepted(m, query(0x26, {0})).text(), "A");
    EXPECT_EQ(transact(m, query(0x26, {1}), 2000).rc, kUsbErrorTimeout);
    EXPECT_EQ(clk.monotonicMs(), 2000);
    // The next exchange gets its own reply, not a late one.
    EXPECT_EQ(accepted(m, query(0x26, {2})).text(), "C");
}

}  // namespace
}  // namespace stampctl::sim::test
