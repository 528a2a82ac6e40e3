// The machine model at the frame level: which requests it answers and which it refuses, judged by
// the bytes alone (the library's tests reach it through the link).
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "stampctl/sim/sim_machine.h"

namespace stampctl::sim {
namespace {

using Bytes = std::vector<unsigned char>;

unsigned char sum8(const Bytes& b, size_t n)
{
    unsigned s = 0;
    for (size_t i = 0; i < n; ++i) s += b[i];
    return static_cast<unsigned char>(s);
}

// A request: head, kind, the body's length, the body, its checksum.
Bytes frameOf(unsigned char kind, const Bytes& body, size_t announced)
{
    Bytes f = body;
    f.insert(f.begin(), {0xAA, 0x55, kind, static_cast<unsigned char>(announced)});
    f.push_back(sum8(f, f.size()));
    return f;
}
Bytes frameOf(unsigned char kind, const Bytes& body) { return frameOf(kind, body, body.size()); }

// The 64-byte reply packet to one request.
Bytes transact(SimMachine& m, const Bytes& frame)
{
    Bytes packet(64, 0);
    int transferred = 0;
    EXPECT_EQ(m.hostWrite(frame.data(), frame.size()), 0);
    EXPECT_EQ(m.hostRead(packet.data(), packet.size(), transferred, 2000), 0);
    EXPECT_EQ(packet[packet[3] + 4], sum8(packet, packet[3] + 4u));
    return packet;
}
bool refused(SimMachine& m, const Bytes& frame) { return transact(m, frame)[2] == 0x85; }

TEST(SimWire, LengthByteMustMatchTheFrameAndUnknownOrMisshapenRequestsAreRefused)
{
    SimMachine m;
    // The light as the host builds it, and the alarm entry whose length byte 4 covers only three
    // body bytes.
    EXPECT_EQ(transact(m, {0xAA, 0x55, 0x02, 0x04, 0x60, 0x0D, 0x00, 0x01, 0x73})[2], 0x82);
    EXPECT_TRUE(m.lightOn());
    m.setAlarmLog({"A", "B"});
    const Bytes entry = transact(m, frameOf(3, {0x60, 0x26, 0x01}, 4));
    EXPECT_EQ(std::tuple(entry[2], entry[4], entry[5]), std::tuple(0x83, 0x60, 0x26));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&entry[7])), "B");

    // Any other command that announces a byte it does not carry is refused, as is anything
    // unknown or misshapen.
    EXPECT_TRUE(refused(m, frameOf(3, {0x60, 0x0F, 0x00}, 4)));
    EXPECT_TRUE(refused(m, frameOf(3, {0x60, 0x55, 0x00})));  // no such command
    EXPECT_TRUE(refused(m, frameOf(3, {0x61, 0x0F, 0x00})));  // lead byte not 0x60
    EXPECT_TRUE(refused(m, frameOf(4, {0x60, 0x0F, 0x00})));  // no such kind
    EXPECT_TRUE(refused(m, frameOf(1, {0x00})));              // heartbeat with a body
    Bytes shortNumber{0x60, 0x01};
    shortNumber.resize(2 + 11, 0x4F);
    EXPECT_TRUE(refused(m, frameOf(2, shortNumber)));               // 11 of 12 bytes
    EXPECT_TRUE(refused(m, frameOf(3, {0x60, 0x01, 0x00, 0x00})));  // query with extras
    EXPECT_EQ(m.machineNum(), "OV2026000117");
}

}  // namespace
}  // namespace stampctl::sim
