// Edge scan, line fit, the paper rectangle and the deskew, including pictures with no sheet, a
// sheet that fills the picture, and pictures too small for the scan windows.
#include <cmath>

#include "tests/imaging/imaging_fixture.h"

namespace stampctl::test {
namespace {

// The rectangle holds every column and row the drawn sheet touches (its corners lie on half
// pixels, at (127.5, 328.5) and (2872.5, 2271.5)), and nothing of the board.
TEST_F(ImagingTest, FoundRectangleIsTheDrawnSheet)
{
    sim::PaperPhoto layout;
    layout.sheetCentre = {1500, 1300};
    layout.print = {{{200, 200, 1500, 600}}};
    layout.impressions = {{{2400, 1700}, 100, false}};
    ASSERT_TRUE(img()->MakePaperArea(img()->MakeThreshold(sim::drawPaperPhoto(layout)), 0, m_cut));
    EXPECT_EQ(m_cut.paper, cv::Rect(cv::Point(127, 328), cv::Point(2874, 2273)));
}

// Photos without a sheet: an empty board, pure noise, pictures too small for the scan windows,
// paper up to every edge. Nothing is found, nothing fails, the crop keeps the whole unturned
// picture and its points pass through.
TEST_F(ImagingTest, WithoutASheetNothingIsFoundAndTheWholePictureIsKept)
{
    const std::string out = path("cut/none.jpg");
    EXPECT_FALSE(img()->AutoCutPaperByImg(cv::Mat(), "none", out.c_str(), nullptr, 0, 0, m_cut));
    cv::Mat untouched(3, 3, CV_8UC3, cv::Scalar::all(7));
    EXPECT_FALSE(img()->AutoRotateByPaper(cv::Mat(), untouched, "none", m_cut));
    EXPECT_EQ(untouched.at<cv::Vec3b>(0, 0), cv::Vec3b(7, 7, 7));

    sim::PaperPhoto board, noise;
    board.withSheet = false;
    noise.pureNoise = true;
    std::vector<cv::Mat> photos{sim::drawPaperPhoto(board), sim::drawPaperPhoto(noise)};
    for (const cv::Size size : {cv::Size(1, 1), cv::Size(2, 3), cv::Size(40, 30), cv::Size(40, 40), cv::Size(130, 90)})
        for (const int grey : {0, 255}) photos.emplace_back(size, CV_8UC3, cv::Scalar::all(grey));
    for (const cv::Mat& photo : photos) {
        SCOPED_TRACE(testing::Message() << photo.size() << " grey " << int(photo.at<cv::Vec3b>(0, 0)[0]));
        EXPECT_FALSE(img()->AutoCutPaperByImg(photo, "none", out.c_str(), nullptr, 0, 0, m_cut));
        EXPECT_FALSE(m_cut.rotated);
        EXPECT_EQ(m_cut.paper, cv::Rect(cv::Point(), photo.size()));
        ASSERT_EQ(m_cut.picture.size(), photo.size());
        EXPECT_EQ(cv::norm(m_cut.picture, photo, cv::NORM_INF), 0);
        EXPECT_EQ(cv::imread(out).size(), photo.size());
        cv::Point p(photo.cols / 2, photo.rows / 3);
        m_cut.ConvertXYtoSrcPic(p.x, p.y);
        EXPECT_EQ(p, cv::Point(photo.cols / 2, photo.rows / 3));
    }
    EXPECT_GT(tracedLines(m_base.path(), "AutoCutPaperByImg no sheet"), 0);
    // On the empty board no border is found, and the rectangle stays as it was.
    const cv::Mat bin = img()->MakeThreshold(photos[0]);
    for (BORDER br : {BORDER_LEFT, BORDER_TOP, BORDER_RIGHT, BORDER_BOTTOM})
        EXPECT_TRUE(img()->FindBorder(bin, br).edge.empty()) << br;
    cv::Mat turned;
    EXPECT_FALSE(img()->AutoRotateByPaper(photos[0], turned, "empty board", m_cut));
    m_cut.paper = {11, 12, 13, 14};
    EXPECT_FALSE(img()->MakePaperArea(bin, 0, m_cut));
    EXPECT_EQ(m_cut.paper, cv::Rect(11, 12, 13, 14));
}

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;

// A turned sheet's turn is found within a tenth of a degree (the picture it comes out as is the
// rotation's, checked pixel by pixel below); a straight one is copied, not turned.
class TurnedSheet : public ImagingTest, public ::testing::WithParamInterface<double> {};

TEST_P(TurnedSheet, IsStraightenedWithinATenthOfADegree)
{
    const double turnDeg = GetParam();
    sim::PaperPhoto layout;
    layout.angleDeg = turnDeg;
    layout.sheetCentre = {1600, 1250};
    layout.print = {{{250, 250, 1000, 300}}, {{1500, 1200, 900, 400}}};
    const cv::Mat photo = sim::drawPaperPhoto(layout);

    cv::Mat out;
    ASSERT_EQ(img()->AutoRotateByPaper(photo, out, "turned", m_cut), turnDeg != 0);
    if (turnDeg == 0) {
        EXPECT_FALSE(m_cut.rotated);
        EXPECT_NE(out.data, photo.data);
        EXPECT_EQ(cv::norm(out, photo, cv::NORM_INF), 0);
    }
    const double expected = turnDeg > 0 ? 2 * kPi - turnDeg * kDeg : -turnDeg * kDeg;
    EXPECT_NEAR(m_cut.rotateAngle, expected, 0.1 * kDeg);
}

INSTANTIATE_TEST_SUITE_P(Angles, TurnedSheet, ::testing::Values(0.0, 0.5, -0.5, 2.0, -2.0, 5.0, -5.0));

// The whole photo turned onto a larger black picture, centre on centre, each pixel the bilinear
// mix of its four source neighbours at the position the 12-bit fixed-point walk reaches.
TEST(Rotation, TurnedPictureHoldsTheWholePhotoSampledBilinearly)
{
    cv::Mat src(300, 400, CV_8UC3);
    cv::RNG(5).fill(src, cv::RNG::UNIFORM, 0, 256);
    cv::RNG pick(9);
    for (const float angle : {0.3f, static_cast<float>(2 * kPi - 0.05)}) {
        cv::Mat dst;
        float dx = 0, dy = 0;
        CImgHelp::cvImgRotate(src, angle, dst, dx, dy);
        const float c = std::cos(angle), s = std::sin(angle);
        const auto toSource = [&](double xd, double yd) {
            return cv::Point2d(xd * c + yd * s + dx, -xd * s + yd * c + dy);
        };
        EXPECT_LT(cv::norm(toSource(dst.cols / 2.0, dst.rows / 2.0) - cv::Point2d(200, 150)), 1.0) << angle;
        for (int i = 0; i < 3000; ++i) {
            const int xd = pick.uniform(0, dst.cols), yd = pick.uniform(0, dst.rows);
            const auto fixed = [](double v) { return static_cast<int>(v * 4096); };
            const cv::Point2d p((fixed(dx) + yd * fixed(s) + xd * fixed(c)) / 4096.0,
                                (fixed(dy) + yd * fixed(c) - xd * fixed(s)) / 4096.0);
            const cv::Vec3b got = dst.at<cv::Vec3b>(yd, xd);
            if (p.x < -0.01 || p.y < -0.01 || p.x > src.cols - 0.99 || p.y > src.rows - 0.99) {
                EXPECT_EQ(got, cv::Vec3b(0, 0, 0)) << xd << "," << yd;
                continue;
            }
            if (p.x < 0.01 || p.y < 0.01 || p.x > src.cols - 1.01 || p.y > src.rows - 1.01) continue;  // the rim
            const int x0 = static_cast<int>(p.x), y0 = static_cast<int>(p.y);
            const double fx = p.x - x0, fy = p.y - y0;
            for (int ch = 0; ch < 3; ++ch) {
                const auto at = [&](int x, int y) { return double(src.at<cv::Vec3b>(y, x)[ch]); };
                const double v = (1 - fy) * ((1 - fx) * at(x0, y0) + fx * at(x0 + 1, y0)) +
                                 fy * ((1 - fx) * at(x0, y0 + 1) + fx * at(x0 + 1, y0 + 1));
                EXPECT_NEAR(got[ch], v, 1.5) << xd << "," << yd << " ch " << ch;
            }
        }
    }
}

// The crop turns only what it needs: windows and scan lines hold the whole turn's own pixels.
TEST(Rotation, WindowsAndScanLinesAreThoseOfTheWholeTurn)
{
    sim::PaperPhoto layout;
    layout.angleDeg = -2.5;
    layout.print = {{{300, 300, 1200, 400}}};
    const cv::Mat photo = sim::drawPaperPhoto(layout);
    const float angle = static_cast<float>(2.5 * kDeg);
    cv::Mat whole;
    float dx = 0, dy = 0;
    CImgHelp::cvImgRotate(photo, angle, whole, dx, dy);
    const TurnPlan plan = CImgHelp::PlanRotate(photo.size(), angle);
    ASSERT_EQ(plan.size, whole.size());
    for (const cv::Rect window : {cv::Rect(0, 0, whole.cols, 1), cv::Rect(260, 140, 2745, 1943),
                                  cv::Rect(whole.cols - 7, whole.rows - 5, 7, 5)})
        EXPECT_EQ(cv::norm(CImgHelp::RotateWindow(photo, plan, window), whole(window), cv::NORM_INF), 0) << window;
    // The scan lines are those of the whole turn's thresholded picture, every one.
    const auto expectScanLinesOf = [](const cv::Mat& bin, const ScanLines& scan) {
        ASSERT_EQ(scan.size, bin.size());
        ASSERT_EQ(scan.rows.rows, (bin.rows + 9) / 10);
        ASSERT_EQ(scan.columns.rows, (bin.cols + 9) / 10);
        for (int k = 0; k < scan.rows.rows; ++k)
            ASSERT_EQ(cv::norm(scan.rows.row(k), bin.row(k * 10), cv::NORM_INF), 0) << "row " << k * 10;
        for (int k = 0; k < scan.columns.rows; ++k)
            ASSERT_EQ(cv::norm(scan.columns.row(k), bin.col(k * 10).t(), cv::NORM_INF), 0) << "column " << k * 10;
    };
    expectScanLinesOf(CImgHelp::MakeThreshold(whole, 60), CImgHelp::RotatedScanThreshold(photo, plan, 60, 10));
}

// Each side against its own A4 side: up to 3 % over and down to a third.
TEST(SheetCheck, EachSideHasItsOwnLimits)
{
    const SheetSize a4;
    const cv::Size photo(3264, 2448);
    // clang-format off
    for (auto [w, h, ok] : {std::tuple{2827, 1943, true}, {2828, 1943, false}, {2745, 2001, true}, {2745, 2002, false},
                            {915, 700, true}, {914, 700, false}, {2745, 648, true}, {2745, 647, false}})
        // clang-format on
        EXPECT_EQ(CImgHelp::SheetCheckFailure(cv::Rect(100, 100, w, h), photo, a4).empty(), ok) << w << "x" << h;
}

}  // namespace
}  // namespace stampctl::test
