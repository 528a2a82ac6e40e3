// The host side of the wire, as small as the tests need it: frames out, packets in.
#pragma once

#include <gtest/gtest.h>

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
    f.insert(f.end(), body.begin(), body.end());
    f.push_back(sum8(f, f.size()));
    return f;
}

// A set (kind 2) or query (kind 3): 60, code, then the arguments.
inline Bytes command(unsigned char kind, unsigned char code, const Bytes& args = {})
{
    Bytes body{0x60, code};
    body.insert(body.end(), args.begin(), args.end());
    return frameOf(kind, body);
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
    // Reply data: offset 7 up to the checksum.
    Bytes data() const { return Bytes(packet.begin() + 7, packet.begin() + 4 + length()); }
    std::string text() const { return std::string(reinterpret_cast<const char*>(&packet[7])); }
    bool checksumOk() const
    {
        const size_t n = length() + 5;
        return n <= packet.size() && sum8(packet, n - 1) == packet[n - 1];
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
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.transferred, 64);
    EXPECT_EQ(r.kind(), frame[2] | 0x80);
    EXPECT_TRUE(r.checksumOk());
    if (frame[2] != 1) {
        EXPECT_EQ(r.packet[4], 0x60);
        EXPECT_EQ(r.packet[5], frame[5]);
    }
    return r;
}

inline Bytes text(const std::string& s, size_t size)
{
    Bytes b(s.begin(), s.end());
    b.resize(size, 0);
    return b;
}

// The arguments of most sets: a zero sub-code, then the payload.
inline Bytes afterZero(const Bytes& payload)
{
    Bytes a{0x00};
    a.insert(a.end(), payload.begin(), payload.end());
    return a;
}

}  // namespace stampctl::sim::test
