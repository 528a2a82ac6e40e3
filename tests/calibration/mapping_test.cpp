// From a source-picture pixel to machine millimetres, through the circles of the record.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "stampctl/frame/result_codes.h"
#include "stampctl/stampctl.h"
#include "tests/support/sim_session.h"

using namespace stampctl;

namespace {

class Mapping : public ::testing::Test {
protected:
    // Circles (100, 200), (1100, 200), (100, 2200), (1100, 2200); seal 1 at 0 degrees corrected
    // by (dx0, dy0) hundredths.
    void load(int16_t dx0 = 0, int16_t dy0 = 0)
    {
        const int16_t fields[12] = {1922, 2732, 100, 200, 1100, 200, 100, 2200, 1100, 2200, dx0, dy0};
        std::array<uint8_t, sim::kBaseBlockSize> base{};
        std::memcpy(base.data(), fields, sizeof fields);
        s.machine().setBaseBlock(base);
        ASSERT_EQ(s.connect(), EC_OK);
    }
    // The point (x, y) of the turned picture space, given as the source pixel it comes from.
    std::pair<double, double> map(int seal, int x, int y, int angle = 0)
    {
        std::pair<double, double> mm;
        s.seal()._SrcPixelToMachineMM(seal, 3265 - y, x, angle, mm.first, mm.second);
        return mm;
    }
    test::SimSession s;
};

void expectNear(std::pair<double, double> got, double x, double y)
{
    EXPECT_NEAR(got.first, x, 1e-9);
    EXPECT_NEAR(got.second, y, 1e-9);
}

}  // namespace

TEST_F(Mapping, FourCirclesAndTheSealCorrection)
{
    load();
    expectNear(map(1, 600, 1200), 157.51, 152.51);
    load(150, -50);
    expectNear(map(1, 600, 1200), 159.01, 152.01);
    expectNear(map(1, 600, 1200, 45), 159.01, 152.01);  // not a quarter: the 0-degree entry
    expectNear(map(2, 600, 1200), 157.51, 152.51);
    short dx[18] = {0, 0, 200, 0, 0, -300}, dy[18] = {};  // seals 1 and 2 at 270 degrees
    ASSERT_EQ(DownLoadRotateJZ(dx, dy), EC_OK);
    EXPECT_NEAR(map(2, 600, 1200, 270).first, 154.51, 1e-9);
    EXPECT_NEAR(map(1, 600, 1200, 270).first, 159.51, 1e-9);
    load(1000, -1000);  // beyond 999: no correction
    expectNear(map(1, 600, 1200), 157.51, 152.51);
    expectNear(map(9, 600, 1200), 157.51, 152.51);  // a seal without an entry: none either
}

TEST_F(Mapping, OutsideTheTravelIsMovedTwoMillimetresInside)
{
    load();
    expectNear(map(1, -200, 3000), 57.0, 296.0);
    EXPECT_TRUE(s.traced("PrintStart getRealXY fail"));
    EXPECT_EQ(s.tracedCount("=== 盖章坐标超界，强制校正(57.00, 296.00)"), 1u);

    double x = 250.5, y = 1.0;
    EXPECT_TRUE(s.seal().CheckMMOK(x, y));
    EXPECT_EQ(std::pair(x, y), std::pair(248.0, 4.0));
    EXPECT_TRUE(s.traced("=== CheckMMOK CheckMMOK 盖章坐标超界，强制校正(248.00, 4.00)"));
    x = 250.0, y = 2.0;  // the limits themselves are inside
    const size_t lines = s.traceLines().size();
    s.seal().CheckMMOK(x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(250.0, 2.0));
    EXPECT_EQ(s.traceLines().size(), lines);
}

TEST_F(Mapping, LinesAndTurns)
{
    CSeal& c = s.seal();
    int x = 0, y = 0;
    EXPECT_FALSE(c.PicxyConvert(x, y, true));
    EXPECT_EQ(std::pair(x, y), std::pair(0, 3265));
    EXPECT_DOUBLE_EQ(c.Pixel2MM_ByRate(100, 85, 100, 230, 777), 157.5);
    // The three forms by position are one line, below, between and above the points.
    for (int p : {-500, 99, 100, 640, 1100, 4000})
        EXPECT_NEAR(c.Pixel2MM(100, 85, 1100, 230, p), c.Pixel2MM_ByRate(100, 85, 1100, 230, p), 1e-9);

    const CSeal::JZPoint circles[4] = {{100, 200}, {1100, 200}, {100, 2200}, {1100, 2200}};
    int ox = 11, oy = 11;
    EXPECT_FALSE(c.Pixel2MMByPoints(-1, 1200, ox, oy, circles));
    const CSeal::JZPoint bad[4] = {{100, 200}, {1100, 200}, {100, -1}, {1100, 2200}};
    EXPECT_FALSE(c.Pixel2MMByPoints(600, 1200, ox, oy, bad));
    EXPECT_EQ(std::pair(ox, oy), std::pair(11, 11));
    EXPECT_TRUE(s.traced("<--Pixel2MMByPoints (600, 1200) i:2,, x:100, y:-1"));
    ASSERT_TRUE(c.Pixel2MMByPoints(602, 1200, ox, oy, circles));
    EXPECT_EQ(std::pair(ox, oy), std::pair(157, 152));  // 157.79, 152.50 truncated
}
