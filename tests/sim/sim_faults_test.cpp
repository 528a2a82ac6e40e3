// Injected faults, USB presence, and the in-process transport.
#include "stampctl/frame/clock.h"
#include "sim_wire.h"

namespace stampctl::sim::test {
namespace {

TEST(SimFaults, CorruptRepliesComeNTimesThenTheMachineAnswersProperly)
{
    SimMachine m;
    m.injectFault(Fault::BadChecksum, 2);
    for (int i = 0; i < 2; ++i) EXPECT_FALSE(transact(m, query(0x0F)).checksumOk());
    accepted(m, query(0x0F));

    m.injectFault(Fault::WrongKind, 1);
    Reply r = transact(m, query(0x0F));
    EXPECT_EQ(r.kind(), 0x82);
    EXPECT_TRUE(r.checksumOk());

    // A heartbeat has no echo to get wrong: the fault waits for the next command.
    m.injectFault(Fault::WrongEcho, 1);
    accepted(m, kHeartbeat);
    r = transact(m, query(0x0F));
    EXPECT_TRUE(r.checksumOk());
    EXPECT_NE(r.packet[5], 0x0F);
    accepted(m, query(0x0F));
}

TEST(SimFaults, InjectedRefusalIsNotCarriedOut)
{
    SimMachine m;
    m.injectFault(Fault::Refusal, 1, FaultTarget::Command);
    accepted(m, kHeartbeat);
    const Reply r = transact(m, set(0x0D, {0x00, 0x01}));
    EXPECT_TRUE(r.refused());
    EXPECT_TRUE(r.checksumOk());
    EXPECT_EQ(Bytes(r.packet.begin() + 4, r.packet.begin() + 7), (Bytes{0x60, 0x0D, 0x00}));
    EXPECT_FALSE(m.lightOn());
    ASSERT_EQ(m.receivedFrames().size(), 2u);  // it did arrive
}

TEST(SimFaults, ShortPacketAndBogusLength)
{
    SimMachine m;
    m.injectFault(Fault::ShortPacket);
    EXPECT_EQ(transact(m, kHeartbeat).transferred, 40);

    m.injectFault(Fault::BogusLength);
    Reply r = transact(m, query(0x10));
    EXPECT_EQ(r.length(), 0xFFu);
    EXPECT_EQ(r.transferred, 64);

    FaultSpec low;
    low.fault = Fault::BogusLength;
    low.value = 2;
    m.injectFault(low);
    r = transact(m, query(0x10));
    EXPECT_EQ(r.length(), 2u);
    EXPECT_TRUE(r.checksumOk());  // a well-made frame that carries no data
}

TEST(SimFaults, LostRepliesTakeTheHostsTimeOnTheClockAndHitOnlyTheirTarget)
{
    VirtualClock clk;
    ScopedClock use(&clk);
    SimMachine m;
    m.setExchangeLatencyMs(0);
    m.setAlarmLog({"A", "B", "C"});
    FaultSpec spec;
    spec.fault = Fault::ReadTimeout;
    spec.commandCode = 0x26;
    spec.skip = 1;
    m.injectFault(spec);
    accepted(m, kHeartbeat);
    EXPECT_EQ(accepted(m, query(0x26, {0})).text(), "A");
    EXPECT_EQ(transact(m, query(0x26, {1}), 2000).rc, kUsbErrorTimeout);
    EXPECT_EQ(clk.monotonicMs(), 2000);
    // The next exchange gets its own reply, not a late one.
    EXPECT_EQ(accepted(m, query(0x26, {2})).text(), "C");
}

TEST(SimFaults, WriteFailureAndUnpluggedMachineNeverReachTheFirmware)
{
    VirtualClock clk;
    ScopedClock use(&clk);
    SimMachine m;
    const Bytes light = set(0x0D, {0x00, 0x01});
    unsigned char buf[64];
    int n = -1;
    m.injectFault(Fault::WriteFailure);
    EXPECT_EQ(m.hostWrite(light.data(), light.size()), kUsbErrorIo);
    EXPECT_EQ(m.hostRead(buf, sizeof buf, n, 2000), kUsbErrorTimeout);
    m.setPlugged(false);
    EXPECT_EQ(m.hostOpen(), -1);
    EXPECT_EQ(m.hostWrite(light.data(), light.size()), kUsbErrorNoDevice);
    EXPECT_EQ(m.hostRead(buf, sizeof buf, n, 2000), kUsbErrorNoDevice);
    EXPECT_FALSE(m.lightOn());
    EXPECT_TRUE(m.receivedFrames().empty());

    m.setPlugged(true);
    m.injectFault(Fault::BadChecksum, 5);
    m.clearFaults();
    accepted(m, light);
}

TEST(SimTransport, ForwardsToTheMachineLikeTheRealTransport)
{
    VirtualClock clk;
    ScopedClock use(&clk);
    SimMachine m;
    auto t = makeSimTransport(m);
    t->SetPoint(0x01, 0x82);
    Bytes hb = kHeartbeat;
    unsigned char buf[64];
    int n = -1;
    EXPECT_EQ(t->DevUsbWrite(hb.data(), hb.size(), n, 1000), -1);  // not open yet
    EXPECT_EQ(t->DevUsbOpen(0x5751, 0x0483), -1);                  // another product
    m.setKernelDriverBound(true);
    EXPECT_EQ(t->DevUsbOpen(0x5750, 0x0483), 1);  // detached: the transfers that follow work
    EXPECT_FALSE(m.kernelDriverBound());
    EXPECT_EQ(t->DevUsbWrite(hb.data(), hb.size(), n, 1000), 0);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(t->DevUsbRead(buf, 64, n, 2000), 0);
    EXPECT_EQ(n, 64);
    EXPECT_EQ(buf[2], 0x81);

    m.injectFault(Fault::ReadTimeout);
    EXPECT_EQ(t->DevUsbWrite(hb.data(), hb.size(), n, 1000), 0);
    EXPECT_EQ(t->DevUsbRead(buf, 64, n, 2000), kUsbErrorTimeout);
    m.injectFault(Fault::WriteFailure);
    EXPECT_EQ(t->DevUsbWrite(hb.data(), hb.size(), n, 1000), -1);

    t->DevUsbClose();
    t->DevUsbClose();
    EXPECT_EQ(t->DevUsbWrite(hb.data(), hb.size(), n, 1000), -1);
    EXPECT_EQ(t->DevUsbRead(buf, 64, n, 2000), -1);
    m.setPlugged(false);
    EXPECT_EQ(t->DevUsbOpen(0x5750, 0x0483), -1);
}

TEST(SimMachineInstance, ResetToDefaultRestoresTheDemoMachine)
{
    SimMachine& m = machine();
    m.setSecurityCode("abcdef");
    m.setSlot(1, false);
    m.setPlugged(false);
    m.injectFault(Fault::BadChecksum, 3);
    m.scriptStatus({StatusPhase{StatusRecord{kWarning}, 0, 0}});
    m.resetToDefault();
    EXPECT_EQ(m.securityCode(), "");
    EXPECT_EQ(m.slotMask(), 0x3F);
    EXPECT_NE(m.machineType(), "OVM310");
    for (int n = 1; n <= kSlotCount; ++n) EXPECT_NE(m.slot(n).rfid, Rfid{}) << n;
    accepted(m, kHeartbeat);  // plugged, ready, main board, doors shut, no fault left
    EXPECT_EQ(m.currentStatus(), StatusRecord{});
}

}  // namespace
}  // namespace stampctl::sim::test
