// The host side of the wire, as small as the tests need it: frames out, packets in.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "stampctl/sim/sim_machine.h"

namespace stampctl::sim::test {

using Bytes = std::vector<unsigned char>;

inline unsigned char sum8(const Bytes& b, size_t n)
{
    unsigned s = 0;
    for (size_t i = 0; i < n; ++i) s += b[i];
    return static_cast<unsigned char>(s);
}

// A request frame with its checksum in the last byte.
inline Bytes frameOf(unsigned char kind, const Bytes& body)
{
    Bytes f{0xAA, 0x55, kind, static_cast<unsigned char>(body.size())};
    f.resize(4 + body.size());
    std::copy(body.begin(), body.end(), f.begin() + 4);
    f.push_back(sum8(f, f.size()));
    return f;
}
// A set (kind 2) or query (kind 3): 60, code, then the arguments.
inline Bytes command(unsigned char kind, unsigned char code, Bytes args)
{
    args.insert(args.begin(), {0x60, code});
    return frameOf(kind, args);
}
inline Bytes query(unsigned char code, const Bytes& args = {0x00}) { return command(3, code, args); }
inline Bytes set(unsigned char code, const Bytes& args) { return command(2, code, args); }
inline const Bytes kHeartbeat{0xAA, 0x55, 0x01, 0x00, 0x00};

struct Reply {
    int rc = 0;
    int transferred = 0;
    Bytes packet;

    unsigned char kind() const { return packet[2]; }
    size_t length() const { return packet[3]; }
    std::string text() const { return std::string(reinterpret_cast<const char*>(&packet[7])); }
    bool checksumOk() const
    {
        return length() + 5 <= packet.size() && sum8(packet, length() + 4) == packet[length() + 4];
    }
    bool refused() const { return kind() == 0x85; }
};

inline Reply transact(SimMachine& m, const Bytes& frame, unsigned timeoutMs = 2000)
{
    Reply r;
    EXPECT_EQ(m.hostWrite(frame.data(), frame.size()), 0);
    r.packet.assign(64, 0);
    r.rc = m.hostRead(r.packet.data(), r.packet.size(), r.transferred, timeoutMs);
    return r;
}

// A reply that carries the request out: the right kind, the echo, a good checksum.
inline Reply accepted(SimMachine& m, const Bytes& frame)
{
    Reply r = transact(m, frame);
    EXPECT_EQ(std::pair(r.rc, r.transferred), std::pair(0, 64));
    EXPECT_EQ(r.kind(), frame[2] | 0x80);
    EXPECT_TRUE(r.checksumOk());
    if (frame[2] != 1) {
        EXPECT_EQ(Bytes(r.packet.begin() + 4, r.packet.begin() + 6), Bytes(frame.begin() + 4, frame.begin() + 6));
    }
    return r;
}

}  // namespace stampctl::sim::test
