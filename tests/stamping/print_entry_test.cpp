// Stamp requests by picture pixel and by page millimetres: their checks, the retry, the
// across-page request, and where the simulated machine puts the stamp.
#include <limits>

#include <opencv2/imgproc.hpp>

#include "stampctl/imaging/img_help.h"
#include "tests/stamping/stamping_fixture.h"

using namespace stampctl;
using namespace stampctl::test;

namespace {

// A cut picture of 1900 x 2700 from a sheet measured at 2745 x 1943 pixels: margins of 221
// and 222 pixels; `ink` is filled black.
void cutPicture(const cv::Scalar& colour = cv::Scalar::all(255), const cv::Rect& ink = {})
{
    CutResult cut;
    cut.paper.width = 1900, cut.paper.height = 2700;
    cut.paperWidth = 2745, cut.paperHeight = 1943;
    cut.picture = cv::Mat(2700, 1900, CV_8UC3, colour);
    cv::rectangle(cut.picture, ink, cv::Scalar::all(0), cv::FILLED);
    CSeal::Instance()->storeCut(cut);
}

using Entry = Stamping;

}  // namespace

TEST_F(Entry, PositionCheckKeeps24MillimetresFromTheEdgesAndTheBlankCheckRefusesEmptyPaper)
{
    configure("check_print_pos_allow=yes");
    EXPECT_EQ(checkManualPrintPara(500, 500, 0), EC_NO_PICTURE);
    cutPicture();
    // clang-format off
    for (auto [x, y, code] : {std::tuple{221, 1000, 0}, {1680, 1000, 0}, {220, 1000, -505},
                              {1681, 1000, -505}, {500, 222, 0}, {500, 2479, 0}, {500, 221, -505},
                              {500, 2480, -505}, {0, 1000, -505}})
        // clang-format on
        EXPECT_EQ(checkManualPrintPara(x, y, 0), code) << x << "," << y;

    EXPECT_EQ(manualPrintStart(1, 220, 1000, 0), EC_OUT_OF_BOUNDS);
    EXPECT_TRUE(s.machine().stamps().empty());
    // An across-page stamp sits on the edge on purpose.
    configure("check_print_pos_allow=yes\nseal_to_qfz=yes");
    EXPECT_EQ(manualPrintStart(1, 5, 1000, 0), EC_OK);
    EXPECT_EQ(s.machine().stamps().back().stampStyle, 0);

    // With the blank check on, empty paper is refused too.
    configure("check_print_pos_allow=yes", "bz_check_open=yes");
    EXPECT_EQ(checkManualPrintPara(500, 500, 0), EC_BLANK_AREA);
    cutPicture(cv::Scalar::all(255), cv::Rect(500, 500, 160, 40));
    EXPECT_EQ(checkManualPrintPara(500, 500, 0), EC_OK);
    EXPECT_EQ(manualPrintStartByLight(2, 500, 500, 0), EC_OK);
    EXPECT_TRUE(s.machine().stamps().back().photosensitive());
}

TEST_F(Entry, OneRetryWhenTheCycleAsksForIt)
{
    configure();
    cutPicture();
    s.machine().scriptNextStamp(sim::stamp_scripts::faultThenReset());
    EXPECT_EQ(autoPrintStart(1, 100, 50, 0), EC_OK);
    ASSERT_EQ(s.machine().stamps().size(), 2u);
    EXPECT_FALSE(s.machine().stamps()[0].made);
    EXPECT_TRUE(s.machine().stamps()[1].made);

    s.machine().scriptNextStamp(sim::stamp_scripts::faultThenReset());
    s.machine().scriptNextStamp(sim::stamp_scripts::noCompletion());
    s.machine().scriptNextStamp(sim::stamp_scripts::noCompletion());
    EXPECT_EQ(manualPrintStart(1, 100, 50, 0), EC_FAIL);
    EXPECT_EQ(s.machine().stamps().size(), 4u);
}

TEST_F(Entry, AcrossPageRequestLastsUntilAStampIsAccepted)
{
    auto bind = s.machine().bindInfo();
    bind[24] = 1;                                            // binding on
    for (int i = 25; i < 29; ++i) bind[i] = 0;               // slot 1: some other seal
    for (int i = 0; i < 4; ++i) bind[29 + i] = bind[4 + i];  // slot 2: its own seal
    s.machine().setBindInfo(bind);
    configure("checkBing=yes");
    cutPicture();

    ASSERT_EQ(setAcrossPageSeal(), EC_OK);
    EXPECT_EQ(manualPrintStart(1, 500, 500, 0), EC_BIND_MISMATCH);
    EXPECT_EQ(manualPrintStart(2, 500, 500, 0), EC_OK);
    EXPECT_EQ(s.machine().stamps().back().stampStyle, 0);
    EXPECT_EQ(manualPrintStart(2, 500, 500, 0), EC_OK);
    EXPECT_EQ(s.machine().stamps().back().stampStyle, -1);
}

TEST_F(Entry, APixelNeedsACutPictureOfThisProcessAndMustLieOnIt)
{
    configure();
    EXPECT_EQ(manualPrintStart(1, 1000, 800, 0), EC_NO_PICTURE);
    cutPicture();
    constexpr int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
    for (auto [x, y] : {std::pair{1900, 10}, {10, 2700}, {-1, -1}, {-5000, 5000}, {1000000, 1000000}, {kMax, kMin}})
        EXPECT_EQ(manualPrintStart(1, x, y, 0), EC_OUT_OF_BOUNDS) << x << "," << y;
    for (int seal : {kMin, 0, 7, kMax}) EXPECT_EQ(manualPrintStart(seal, 500, 500, 0), -502) << seal;
    EXPECT_TRUE(s.machine().stamps().empty());
    // On the picture, but beyond the travel: moved 2 mm inside it.
    ASSERT_EQ(manualPrintStart(1, 1899, 10, 0), EC_OK);
    EXPECT_NEAR(s.machine().stamps().back().xMm(), 57.0, 0.011);

    // A photo that could not be written takes the last cut with it.
    ASSERT_EQ(openVideoCap(), EC_OK);
    EXPECT_EQ(getImageFormat("/nonexistent/photo.bmp", 0, 0, 0), EC_WRITE_FILE_FAIL);
    EXPECT_EQ(manualPrintStart(1, 1000, 800, 0), EC_NO_PICTURE);
    EXPECT_EQ(s.machine().stamps().size(), 1u);
}

TEST_F(Entry, PageMillimetresOffThePageAreRefusedAndOnItLandWhereTheMappingSays)
{
    configure();
    // The sheet lies long side across; a quarter-turned seal sees it short side across.
    // clang-format off
    for (auto [x, y, angle] : {std::tuple{100000, 100000, 0}, {-5, 10, 0}, {10, -1, 180}, {298, 10, 0},
                               {10, 211, 180}, {211, 10, 90}, {10, 298, 270}, {500, 500, 90}})
        // clang-format on
        EXPECT_EQ(autoPrintStart(1, x, y, angle), EC_OUT_OF_BOUNDS) << x << "," << y << "," << angle;
    EXPECT_TRUE(s.machine().stamps().empty());
    for (auto [x, y, angle] : {std::tuple{297, 210, 0}, {0, 0, 180}, {210, 297, 270}})
        EXPECT_EQ(autoPrintStart(1, x, y, angle), EC_OK) << x << "," << y << "," << angle;

    // On the page, the millimetres become pixels and land where the mapping says.
    auto base = s.machine().baseBlock();
    base[0] = base[1] = base[2] = base[3] = 0;  // A4 sides unknown: the default densities
    s.machine().setBaseBlock(base);
    configure();
    // 100 x 50 mm at the default densities: source pixels (919, 457) and (915, 459), through
    // the machine's own calibration circles.
    for (auto [angle, mx, my] : {std::tuple{0, 68.73, 227.51}, {90, 68.95, 227.94}}) {
        ASSERT_EQ(autoPrintStart(1, 100, 50, angle), EC_OK);
        EXPECT_NEAR(s.machine().stamps().back().xMm(), mx, 0.011);
        EXPECT_NEAR(s.machine().stamps().back().yMm(), my, 0.011);
    }
}

TEST_F(Entry, NoStampThroughACalibrationThatCannotMap)
{
    const auto sound = s.machine().baseBlock();
    const auto withCircles = [&](std::array<int, 8> c) {
        auto base = sound;
        for (int i = 0; i < 8; ++i) base[4 + 2 * i] = c[i] & 0xFF, base[5 + 2 * i] = (c[i] >> 8) & 0xFF;
        return base;
    };
    const std::array<int, 8> coincident{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000};
    const std::array<int, 8> rowsSwapped{606, 2737, 1933, 2737, 606, 575, 1933, 575};
    const std::array<int, 8> skewed{606, 575, 1933, 575, 606, 2737, 1500, 2737};
    for (const auto& circles : {coincident, rowsSwapped, skewed}) {
        s.machine().setBaseBlock(withCircles(circles));
        configure();
        cutPicture();
        EXPECT_EQ(manualPrintStart(1, 500, 500, 0), EC_NOT_CALIBRATED);
        EXPECT_EQ(autoPrintStart(1, 100, 50, 0), EC_NOT_CALIBRATED);
    }
    s.machine().setBaseBlock(sound);
    configure();
    cutPicture();
    ASSERT_EQ(manualPrintStart(1, 500, 500, 0), EC_OK);
    const unsigned char zeros[50] = {};
    ASSERT_EQ(DownLoadBaseJZ(zeros, sizeof zeros, 0), EC_OK);
    EXPECT_EQ(manualPrintStart(1, 500, 500, 0), EC_NOT_CALIBRATED);
    EXPECT_EQ(s.machine().stamps().size(), 1u);
}
