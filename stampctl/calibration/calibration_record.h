// The calibration record and the pure arithmetic over it: from a pixel of the camera's source
// picture to a machine position in millimetres, through the four calibration circles and the
// correction of each seal and stamp angle, and the clamp that keeps a position inside the
// machine's travel. Every function here works on a record snapshot the caller holds.
#pragma once

#include <array>

namespace stampctl::calibration {

constexpr int kCircleCount = 4;
constexpr int kOffsetCount = 24;  // (seal - 1) * 4 + angle index 0..3
// The source picture turned a quarter, the space the circles are measured in: 2448 wide, 3264
// high.
constexpr int kTurnedWidth = 2448;
constexpr int kTurnedHeight = 3264;

// A pixel position of the calibration record.
struct Point {
    int x;
    int y;
};

// A4 sides in pixels, the four circles, and the corrections in hundredths of a millimetre.
// Read and replaced whole.
struct Record {
    int m_A4ShortSide = 0;
    int m_A4LongSide = 0;
    std::array<Point, kCircleCount> m_JZCircle{};
    std::array<short, kOffsetCount> m_JZOffsetX{};
    std::array<short, kOffsetCount> m_JZOffsetY{};
};

struct MachineMm {
    double x;
    double y;
};

// The value at pixel p on the line through (p1, mm1) and (p2, mm2); the mean for p1 == p2.
double pixelToMmByRate(int p1, double mm1, int p2, double mm2, int p);
// The same line, written as the blend of its two ends.
double pixelToMm(int p1, double mm1, int p2, double mm2, int p);
// A source-picture pixel into the turned picture space of the calibration circles; false when
// it lies outside that picture.
bool turnSourcePixel(int& x, int& y);
// A correction in hundredths of a millimetre; 999 or more marks an entry without correction.
double hundredthsToMm(short hundredths);
// A measured miss in millimetres as a correction in hundredths, rounded to the nearest.
int mmToHundredths(double mm);
// Moves a position 2 mm inside the machine's travel on each axis that lies outside; true when
// it moved.
bool clampToTravel(double& x, double& y);
// The four-circle map of a turned-picture pixel, without correction or clamp: X along the top
// (fx1) and bottom (fx2) circle pairs blended by Y into fxx, Y along the left (fy1) and right
// (fy2) pairs blended by X into fyy.
struct CircleMap {
    double fx1, fx2, fxx, fy1, fy2, fyy;
};
CircleMap circleMap(const Point* circles, int x, int y);
// The same, false for a negative point or circle.
bool mapByCircles(const Point* circles, int x, int y, MachineMm& mm);
// A source-picture pixel of seal `seal` at `angle` into machine millimetres through `record`:
// the circles, the seal's correction, and the clamp to the travel (traced as it goes).
MachineMm toMachineMm(const Record& record, int seal, Point sourcePixel, int angle);

}  // namespace stampctl::calibration
