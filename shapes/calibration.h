// The machine's calibration as it is shown, and automatic calibration.
#pragma once

#include <array>
#include <vector>

#include "shapes/outcome.h"

namespace stampctl_shapes {

constexpr int kCircleCount = 4;
constexpr int kSealCount = 6;
constexpr int kAngles[] = {0, 90, 180, 270};
constexpr int kAngleCount = 4;

struct Calibration {
    short longSide = 0;
    short shortSide = 0;
    std::array<short, kCircleCount> circleX{}, circleY{};
    std::array<short, kSealCount * kAngleCount> offsetX{}, offsetY{};  // (seal - 1) * 4 + angle index

    static int index(int seal, int angleIndex) { return (seal - 1) * kAngleCount + angleIndex; }
};

// What the machine holds: the library's code.
int readCalibration(Calibration& c);
nlohmann::json calibrationJson(const Calibration& c);
std::string calibrationText(const Calibration& c);

// The values the machine holds.
Outcome showCalibration();
// Calibrates automatically on a white sheet; `photosensitive` lists seals 1 to 6.
Outcome autoCalibrate(const std::vector<int>& photosensitive);

}  // namespace stampctl_shapes
