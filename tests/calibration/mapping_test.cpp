// The mapping from a source-picture pixel to machine millimetres, on calibration records alone:
// the four circles, the correction of each seal and angle, the clamp to the travel, the rounding
// of a measured miss to hundredths.

#include <gtest/gtest.h>

#include "stampctl/calibration/calibration_record.h"

using namespace stampctl::calibration;

namespace {

// Circles (100, 200), (1100, 200), (100, 2200), (1100, 2200) of the turned picture.
Record levelRecord()
{
    Record r;
    r.m_A4ShortSide = 1922;
    r.m_A4LongSide = 2732;
    r.m_JZCircle = {Point{100, 200}, Point{1100, 200}, Point{100, 2200}, Point{1100, 2200}};
    return r;
}

// The turned-picture point (x, y), given as the source pixel it comes from.
MachineMm map(const Record& r, int seal, int x, int y, int angle = 0)
{
    return toMachineMm(r, seal, Point{3265 - y, x}, angle);
}

void expectMm(MachineMm mm, double x, double y)
{
    EXPECT_NEAR(mm.x, x, 1e-9);
    EXPECT_NEAR(mm.y, y, 1e-9);
}

}  // namespace

TEST(Mapping, FourCirclesAndTheSealCorrectionOfEachAngle)
{
    Record r = levelRecord();
    expectMm(map(r, 1, 600, 1200), 157.51, 152.51);
    r.m_JZOffsetX[0] = 150, r.m_JZOffsetY[0] = -50;
    expectMm(map(r, 1, 600, 1200), 159.01, 152.01);
    expectMm(map(r, 1, 600, 1200, 45), 159.01, 152.01);  // not a quarter: the 0-degree entry
    expectMm(map(r, 2, 600, 1200), 157.51, 152.51);
    // Seal 2 at 90, 180 and 270 degrees, each corrected its own way.
    r.m_JZOffsetX[5] = 100, r.m_JZOffsetY[5] = -10;
    r.m_JZOffsetX[6] = 200, r.m_JZOffsetY[6] = 20;
    r.m_JZOffsetX[7] = -300, r.m_JZOffsetY[7] = 30;
    expectMm(map(r, 2, 600, 1200, 90), 158.51, 152.41);
    expectMm(map(r, 2, 600, 1200, 180), 159.51, 152.71);
    expectMm(map(r, 2, 600, 1200, 270), 154.51, 152.81);
    expectMm(map(r, 1, 600, 1200, 270), 157.51, 152.51);  // its own 270-degree entry: none
    r.m_JZOffsetX[0] = 1000, r.m_JZOffsetY[0] = -1000;    // beyond 999: no correction
    expectMm(map(r, 1, 600, 1200), 157.51, 152.51);
    expectMm(map(r, 9, 600, 1200), 157.51, 152.51);  // a seal without an entry: none either
}

TEST(Mapping, CirclesOffLevelRowsAndColumnsBlendAlongTheRightAxis)
{
    // A sheet photographed askew: no two circles share a row or a column. Opposite sides are
    // equal, so the interpolation maps it, not the projective map of a tilted camera.
    Record r = levelRecord();
    r.m_JZCircle = {Point{100, 200}, Point{1100, 230}, Point{70, 2200}, Point{1070, 2230}};
    MachineMm mm{};
    ASSERT_TRUE(mapByCircles(r.m_JZCircle.data(), 600, 1200, mm));
    expectMm(mm, 159.675, 150.7375);
    ASSERT_TRUE(mapByCircles(r.m_JZCircle.data(), 300, 500, mm));
    expectMm(mm, 114.6525, 69.545);
    expectMm(map(r, 1, 1000, 2000), 219.425, 243.3375);
}

TEST(Mapping, OutsideTheTravelIsMovedTwoMillimetresInside)
{
    expectMm(map(levelRecord(), 1, -200, 3000), 57.0, 296.0);
    double x = 250.5, y = 1.0;
    EXPECT_TRUE(clampToTravel(x, y));
    EXPECT_EQ(std::pair(x, y), std::pair(248.0, 4.0));
    x = 250.0, y = 2.0;  // the limits themselves are inside
    EXPECT_FALSE(clampToTravel(x, y));
    EXPECT_EQ(std::pair(x, y), std::pair(250.0, 2.0));
}

TEST(Mapping, LinesTurnsAndRefusedCircles)
{
    int x = 0, y = 0;
    EXPECT_FALSE(turnSourcePixel(x, y));
    EXPECT_EQ(std::pair(x, y), std::pair(0, 3265));
    EXPECT_DOUBLE_EQ(pixelToMmByRate(100, 85, 100, 230, 777), 157.5);
    // Below, between and above the points: one line.
    EXPECT_DOUBLE_EQ(pixelToMm(100, 85, 1100, 230, -500), -2.0);
    EXPECT_DOUBLE_EQ(pixelToMm(100, 85, 1100, 230, 640), 163.3);
    EXPECT_DOUBLE_EQ(pixelToMm(100, 85, 1100, 230, 4000), 650.5);

    const Point bad[4] = {{100, 200}, {1100, 200}, {100, -1}, {1100, 2200}};
    MachineMm mm{7, 7};
    EXPECT_FALSE(mapByCircles(levelRecord().m_JZCircle.data(), -1, 1200, mm));
    EXPECT_FALSE(mapByCircles(bad, 600, 1200, mm));
    expectMm(mm, 7, 7);
}

TEST(Mapping, MeasuredMissesRoundToTheNearestHundredth)
{
    for (auto [mm, hundredths] : {std::pair{1.237, 124}, {-1.237, -124}, {0.004, 0}, {-0.996, -100}})
        EXPECT_EQ(mmToHundredths(mm), hundredths) << mm;
}
