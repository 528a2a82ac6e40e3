#include "shapes/calibration.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "stampctl/stampctl.h"

namespace stampctl_shapes {

namespace {

using nlohmann::json;

constexpr int kAutoCheckTextSize = 1024;

}  // namespace

int readCalibration(Calibration& c)
{
    return GetAllJZInfo(&c.longSide, &c.shortSide, c.circleX.data(), c.circleY.data(), c.offsetX.data(),
                        c.offsetY.data());
}

json calibrationJson(const Calibration& c)
{
    json circles = json::array();
    for (int i = 0; i < kCircleCount; ++i) circles.push_back({{"x", c.circleX[i]}, {"y", c.circleY[i]}});
    json seals = json::array();
    for (int seal = 1; seal <= kSealCount; ++seal) {
        json corrections = {{"seal", seal}};
        for (int a = 0; a < kAngleCount; ++a) {
            const int i = Calibration::index(seal, a);
            corrections[std::to_string(kAngles[a])] = {{"x", c.offsetX[i]}, {"y", c.offsetY[i]}};
        }
        seals.push_back(corrections);
    }
    return {{"a4_short_side", c.shortSide}, {"a4_long_side", c.longSide}, {"circles", circles}, {"corrections", seals}};
}

std::string calibrationText(const Calibration& c)
{
    std::ostringstream text;
    text << "A4 page:      " << c.shortSide << " x " << c.longSide << " pixels (short x long side)\n"
         << "circles:     ";
    for (int i = 0; i < kCircleCount; ++i) text << " " << i + 1 << ":(" << c.circleX[i] << ", " << c.circleY[i] << ")";
    text << "\ncorrections in 0.01 mm (x/y) by angle:\nangle ";
    for (int angle : kAngles) {
        char cell[16];
        std::snprintf(cell, sizeof cell, "  %5d      ", angle);
        text << cell;
    }
    text << "\n";
    for (int seal = 1; seal <= kSealCount; ++seal) {
        text << "seal " << seal;
        for (int a = 0; a < kAngleCount; ++a) {
            const int i = Calibration::index(seal, a);
            char cell[16];
            std::snprintf(cell, sizeof cell, "  %5d/%-5d", c.offsetX[i], c.offsetY[i]);
            text << cell;
        }
        text << "\n";
    }
    return text.str();
}

Outcome showCalibration()
{
    Calibration c;
    const int code = readCalibration(c);
    if (code != 0) return failure(code);
    Outcome outcome;
    outcome.data = calibrationJson(c);
    outcome.text = calibrationText(c);
    return outcome;
}

// The library explains itself in the text, success or failure; on failure its code is -1, which
// has no message of its own.
Outcome autoCalibrate(const std::vector<int>& photosensitive)
{
    std::array<short, kSealCount> flags{};
    for (int seal : photosensitive) flags[seal - 1] = 1;
    std::array<char, kAutoCheckTextSize> report{};
    const int code = AutoCheckSeal(report.data(), flags.data());
    report.back() = '\0';
    // The library ends its report's lines as Windows does; a terminal or a script wants "\n".
    std::string text = report.data();
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    Outcome outcome;
    outcome.code = code;
    outcome.data = {{"report", text}};
    if (code != 0) outcome.message = text;
    outcome.text = text;
    return outcome;
}

}  // namespace stampctl_shapes
