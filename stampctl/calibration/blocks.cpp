#include "stampctl/calibration/blocks.h"

#include <cstdlib>

namespace stampctl::calibration {
namespace {
constexpr uint8_t kXNegative = 0x80;
constexpr uint8_t kYNegative = 0x08;
constexpr int kXHighBits = 0xF000;  // bits 8-11 of |X| once moved up by four
constexpr int kHighNibbleOfTwelve = 0xF00;
constexpr int kElevenBitHigh = 0x700;
}  // namespace

void encodeRotation(int x, int y, uint8_t out[kRotateEntrySize])
{
    const int ax = std::abs(x);
    const int ay = std::abs(y);
    out[0] = static_cast<uint8_t>(ax & 0xFF);
    out[1] = static_cast<uint8_t>(ay & 0xFF);
    uint8_t high = static_cast<uint8_t>((((ax * 16) & kXHighBits) | ay) >> 8);
    if (x < 0) high |= kXNegative;
    if (y < 0) high |= kYNegative;
    out[2] = high;
}

void decodeRotation(const uint8_t in[kRotateEntrySize], short& x, short& y)
{
    const int b2 = in[2];
    if (!(b2 & kXNegative))
        x = static_cast<short>(((b2 * 16) & kHighNibbleOfTwelve) | in[0]);
    else
        x = static_cast<short>(-(((b2 * 16) & kElevenBitHigh) | in[0]));
    if (!(b2 & kYNegative))
        y = static_cast<short>(((b2 * 256) & kHighNibbleOfTwelve) | in[1]);
    else
        y = static_cast<short>(-(((b2 * 256) & kElevenBitHigh) | in[1]));
}

}  // namespace stampctl::calibration
