// The two calibration blocks as the machine keeps them: the base block (A4 sides, circles and
// the 0-degree corrections, little-endian int16) and the rotation block (three bytes per seal
// and angle, sign and 11-bit magnitude for X and Y).
#pragma once

#include <cstddef>
#include <cstdint>

#include "stampctl/core/facts.h"

namespace stampctl::calibration {

constexpr size_t kBaseBlockSize = 50;  // what the machine takes; the host fills 44 of it
constexpr size_t kBaseBlockUsed = 44;
constexpr size_t kOffShortSide = 0;
constexpr size_t kOffLongSide = 2;
constexpr size_t kOffCircles = 4;      // four circles, x then y
constexpr size_t kOffZeroDegree = 20;  // six seals, X then Y

constexpr int kRotateEntries = 18;  // six seals at 90, 180 and 270 degrees
constexpr size_t kRotateEntrySize = 3;
constexpr size_t kRotateBlockSize = kRotateEntries * kRotateEntrySize;
constexpr int kRotateMagnitudeLimit = 2047;  // 11 bits

constexpr int kAnglesPerSeal = 4;  // 0, 90, 180, 270 degrees
constexpr int kRotatedPerSeal = 3;

inline int16_t readLe16(const uint8_t* p) { return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))); }

// Index in the record of rotation entry e (seal e / 3 + 1 at 90 degrees times e % 3 + 1).
inline int recordIndexOfRotation(int e) { return (e / kRotatedPerSeal) * kAnglesPerSeal + e % kRotatedPerSeal + 1; }

// Both magnitudes must fit 11 bits (see kRotateMagnitudeLimit); larger ones spill into the
// neighbouring fields.
void encodeRotation(int x, int y, uint8_t out[kRotateEntrySize]);
void decodeRotation(const uint8_t in[kRotateEntrySize], short& x, short& y);

}  // namespace stampctl::calibration
