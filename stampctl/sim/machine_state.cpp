#include "stampctl/sim/machine_state.h"

namespace stampctl::sim {
namespace {

void putBigEndian16(uint8_t* p, int16_t v)
{
    p[0] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
    p[1] = static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xFF);
}

void putLittleEndian16(uint8_t* p, int16_t v)
{
    p[0] = static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xFF);
    p[1] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
}

// Factory motion parameters: plunge depth, pauses and ink-pad positions, in the firmware's
// units, followed by bytes that only the firmware reads.
constexpr int16_t kFactoryMotion[12] = {1200, 150, 300, 800, 2500, 1800, 400, 100, 200, 1100, 600, 600};
constexpr size_t kMotionParamBytes = 24;
constexpr uint8_t kFirmwarePrivateBase = 0xA0;

// Calibration as shipped: an A4 page of 1922 × 2732 pixels, four circles, no corrections.
// The circles (in the photo turned a quarter, 2448 × 3264) put the middle of the photo, where
// the sheet lies, at the middle of the travel (152.5, 150 mm), at the page's own scale:
// circles 1 to 4 are the machine positions (85, 35), (230, 35), (85, 270), (230, 270).
constexpr int16_t kFactoryBase[10] = {1922, 2732, 606, 575, 1933, 575, 606, 2737, 1933, 2737};

constexpr Rfid kFactoryTags[kSlotCount] = {
    {0x3A, 0x7C, 0x11, 0xE1}, {0x3A, 0x7C, 0x12, 0xE2}, {0x3A, 0x7C, 0x13, 0xE3},
    {0x3A, 0x7C, 0x14, 0xE4}, {0x3A, 0x7C, 0x15, 0xE5}, {0x3A, 0x7C, 0x16, 0xE6},
};

}  // namespace

MachineState defaultMachineState()
{
    MachineState s;
    s.machineNum = "OV2026000117";
    s.machineType = "OVM260";
    s.machineId = "SN-OV260-2026-000117";
    s.firmwareVersion = "OVSTAMP V2.08 2025-11-20";
    s.firmwareMode = 2;

    for (size_t i = 0; i < 12; ++i) putBigEndian16(&s.motionBlock[2 * i], kFactoryMotion[i]);
    for (size_t i = kMotionParamBytes; i < kMotionBlockSize; ++i)
        s.motionBlock[i] = static_cast<uint8_t>(kFirmwarePrivateBase + i - kMotionParamBytes);

    for (size_t i = 0; i < 10; ++i) putLittleEndian16(&s.baseBlock[2 * i], kFactoryBase[i]);

    for (int n = 0; n < kSlotCount; ++n) {
        s.slots[n].hasSeal = true;
        s.slots[n].rfid = kFactoryTags[n];
        // The seals present at the factory calibration; binding is off.
        for (size_t b = 0; b < kRfidSize; ++b) s.bindInfo[n * kRfidSize + b] = kFactoryTags[n][b];
    }
    return s;
}

}  // namespace stampctl::sim
