// The frame as the machine sees it: AA 55, kind, length L, L body bytes, additive checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace stampctl::sim::wire {

constexpr uint8_t kHead0 = 0xAA;
constexpr uint8_t kHead1 = 0x55;
constexpr uint8_t kKindHeartbeat = 0x01;
constexpr uint8_t kKindSet = 0x02;
constexpr uint8_t kKindQuery = 0x03;
constexpr uint8_t kReplyBit = 0x80;                               // reply kind = request kind | 0x80
constexpr uint8_t kKindRefusal = 0x85;                            // the machine will not carry out the request
constexpr uint8_t kBodyLead = 0x60;                               // first body byte of every set and query
constexpr size_t kPacketSize = 64;                                // every reply travels as one full packet
constexpr size_t kHeaderSize = 4;                                 // AA 55 kind L
constexpr size_t kFrameOverhead = 5;                              // header plus checksum
constexpr size_t kMaxReplyBody = kPacketSize - kFrameOverhead;    // 59
constexpr size_t kCommandPrefix = 3;                              // 60, code, sub-code: ahead of the reply data
constexpr size_t kMaxReplyData = kMaxReplyBody - kCommandPrefix;  // 56

// Offsets of a request.
constexpr size_t kOffKind = 2;
constexpr size_t kOffLength = 3;
constexpr size_t kOffLead = 4;
constexpr size_t kOffCode = 5;
constexpr size_t kOffSub = 6;

inline uint8_t checksum(const unsigned char* data, size_t len)
{
    unsigned sum = 0;
    for (size_t i = 0; i < len; ++i) sum += data[i];
    return static_cast<uint8_t>(sum & 0xFF);
}

// A whole frame around `body`, checksum included.
inline std::vector<unsigned char> frame(uint8_t kind, const std::vector<unsigned char>& body)
{
    std::vector<unsigned char> f{kHead0, kHead1, kind, static_cast<unsigned char>(body.size())};
    f.insert(f.end(), body.begin(), body.end());
    f.push_back(checksum(f.data(), f.size()));
    return f;
}

}  // namespace stampctl::sim::wire
