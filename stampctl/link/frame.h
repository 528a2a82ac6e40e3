// The frame on the wire: AA 55, kind, length L, L body bytes, and an 8-bit additive checksum
// over everything before it. A reply always arrives as one 64-byte packet.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stampctl::link {

constexpr uint8_t kSync0 = 0xAA;
constexpr uint8_t kSync1 = 0x55;

constexpr uint8_t kKindHeartbeat = 1;
constexpr uint8_t kKindSet = 2;
constexpr uint8_t kKindQuery = 3;
constexpr uint8_t kReplyKindFlag = 0x80;  // reply kind = request kind | 0x80
constexpr uint8_t kBodyTag = 0x60;        // first body byte of every command request

constexpr size_t kOffKind = 2;
constexpr size_t kOffLength = 3;
constexpr size_t kOffBody = 4;     // 0x60 in commands and their replies
constexpr size_t kOffCommand = 5;  // command code, echoed by the reply
constexpr size_t kOffStatus = 4;   // a heartbeat reply's status record, 7 bytes
constexpr size_t kOffReplyData = 7;
constexpr size_t kFrameOverhead = 5;                      // sync, kind, length, checksum
constexpr size_t kReplyDataOverhead = kOffReplyData + 1;  // reply bytes that are not data

constexpr size_t kPacketSize = 64;
constexpr size_t kMinReplyLength = 3;                             // 60, code, one status byte
constexpr size_t kMaxReplyLength = kPacketSize - kFrameOverhead;  // 59
constexpr size_t kMaxReplyData = kMaxReplyLength - 3;             // 56

constexpr size_t kFrameBufferSize = 256;
constexpr size_t kMaxPayload = 249;  // what a command frame leaves free in its buffer

constexpr unsigned kWriteTimeoutMs = 1000;
constexpr unsigned kReadTimeoutMs = 2000;
constexpr int kAttempts = 3;

// USB identity and bulk endpoints of the machine.
constexpr int kProductId = 0x5750;
constexpr int kVendorId = 0x0483;
constexpr int kEndpointOut = 0x01;
constexpr int kEndpointIn = 0x82;

// Low 8 bits of the sum of `count` bytes.
uint8_t checksum(const uint8_t* bytes, size_t count);

// "AA 55 01 00 00 ;": each byte as two upper-case hex digits and a space, then ";". `out` must
// hold 3 * count + 2 bytes.
void hexLine(const uint8_t* bytes, size_t count, char* out);

}  // namespace stampctl::link
