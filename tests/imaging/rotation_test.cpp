// Deskew: when the photo is turned, by how much, and the fixed-point rotation itself.
#include <cmath>

#include "tests/imaging/imaging_fixture.h"

namespace stampctl::test {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;

TEST_F(ImagingTest, StraightSheetIsCopiedNotRotated)
{
    sim::PaperPhoto layout;
    layout.print = {{{300, 300, 900, 400}}};
    const cv::Mat photo = sim::drawPaperPhoto(layout);
    cv::Mat out;
    EXPECT_FALSE(img()->AutoRotateByPaper(photo, out, "straight", m_cut));
    EXPECT_FALSE(m_cut.rotated);
    EXPECT_EQ(m_cut.rotateAngle, 0.0f);
    ASSERT_EQ(out.size(), photo.size());
    EXPECT_NE(out.data, photo.data);
    EXPECT_EQ(cv::norm(out, photo, cv::NORM_INF), 0);
    EXPECT_TRUE(traced("make rotate param:[旋转角度:0.000000, 弧度:0.000000, isRotate:0]"));
}

// A turned sheet comes out axis-parallel, measured on the straightened picture itself.
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
    ASSERT_TRUE(img()->AutoRotateByPaper(photo, out, "turned", m_cut));
    const double expected = turnDeg > 0 ? 2 * kPi - turnDeg * kDeg : -turnDeg * kDeg;
    EXPECT_NEAR(m_cut.rotateAngle, expected, 0.1 * kDeg);
    // A clean top-left corner settles it: the right and bottom borders are never scanned.
    for (const std::string& line : traceBodies(m_base.path()))
        EXPECT_EQ(line.find("FindOneLineByPaper step=10,br=2"), std::string::npos) << line;

    // The straightened sheet's corners are where the rotation offsets put them.
    const float c = std::cos(m_cut.rotateAngle), s = std::sin(m_cut.rotateAngle);
    const cv::Point2f tl = sim::sheetCorners(layout)[0];
    // Invert src = R * dst + d for the top-left corner.
    const float ux = tl.x - m_cut.rotDx, uy = tl.y - m_cut.rotDy;
    const cv::Point2f sheetTl(ux * c - uy * s, ux * s + uy * c);
    const int x1 = cvRound(sheetTl.x + 600), x2 = cvRound(sheetTl.x + 2100);
    const int y1 = cvRound(sheetTl.y + 400), y2 = cvRound(sheetTl.y + 1500);

    const int top1 = firstBright(out, {x1, 0}, {0, 1}), top2 = firstBright(out, {x2, 0}, {0, 1});
    const int left1 = firstBright(out, {0, y1}, {1, 0}), left2 = firstBright(out, {0, y2}, {1, 0});
    ASSERT_GE(std::min({top1, top2, left1, left2}), 0);
    EXPECT_LT(std::fabs(std::atan2(top2 - top1, x2 - x1)), 0.1 * kDeg);
    EXPECT_LT(std::fabs(std::atan2(left2 - left1, y2 - y1)), 0.1 * kDeg);
    EXPECT_NEAR(top1, sheetTl.y, 2);
    EXPECT_NEAR(left1, sheetTl.x, 2);
}

INSTANTIATE_TEST_SUITE_P(Angles, TurnedSheet, ::testing::Values(0.5, -0.5, 2.0, -2.0, 5.0, -5.0));

// A plain transcription of the fixed-point rotation, one pixel at a time.
cv::Mat referenceRotate(const cv::Mat& src, float angle, float& dx, float& dy)
{
    const float c = std::cos(angle), s = std::sin(angle);
    const int w = src.cols, h = src.rows;
    const int xs[4] = {(1 - w) / 2, (w - 1) / 2, (w - 1) / 2, (1 - w) / 2};
    const int ys[4] = {(1 - h) / 2, (1 - h) / 2, (h - 1) / 2, (h - 1) / 2};
    float tx[4], ty[4];
    for (int i = 0; i < 4; ++i) {
        tx[i] = xs[i] * c + ys[i] * s;
        ty[i] = -xs[i] * s + ys[i] * c;
    }
    const int nw = static_cast<int>(std::max(std::fabs(tx[0] - tx[2]), std::fabs(tx[1] - tx[3])) + 0.5);
    const int nh = static_cast<int>(std::max(std::fabs(ty[0] - ty[2]), std::fabs(ty[1] - ty[3])) + 0.5);
    dx = w / 2.0f - (nw / 2.0f) * c - (nh / 2.0f) * s;
    dy = h / 2.0f + (nw / 2.0f) * s - (nh / 2.0f) * c;
    const int C = static_cast<int>(c * 4096), S = static_cast<int>(s * 4096);
    const int x0 = static_cast<int>(dx * 4096), y0 = static_cast<int>(dy * 4096);

    cv::Mat dst(nh, nw, src.type(), cv::Scalar::all(0));
    for (int yd = 0; yd < nh; ++yd) {
        for (int xd = 0; xd < nw; ++xd) {
            const int x = x0 + yd * S + xd * C;
            const int y = y0 + yd * C - xd * S;
            if (src.channels() == 1) {
                if (x >= 0 && y >= 0 && x / 4096 < w && y / 4096 < h)
                    dst.at<uchar>(yd, xd) = src.at<uchar>(y / 4096, x / 4096);
                continue;
            }
            if (x < 0 || y < 0 || x / 4096 >= w - 1 || y / 4096 >= h - 1) continue;
            const int ix = x / 4096, iy = y / 4096;
            const uint64_t fx = x % 4096, fy = y % 4096;
            for (int ch = 0; ch < 3; ++ch) {
                const uint64_t p00 = src.at<cv::Vec3b>(iy, ix)[ch], p10 = src.at<cv::Vec3b>(iy, ix + 1)[ch];
                const uint64_t p01 = src.at<cv::Vec3b>(iy + 1, ix)[ch], p11 = src.at<cv::Vec3b>(iy + 1, ix + 1)[ch];
                const uint64_t sum = p00 * (4096 - fx) * (4096 - fy) + p10 * fx * (4096 - fy) +
                                     p01 * (4096 - fx) * fy + p11 * fx * fy;
                dst.at<cv::Vec3b>(yd, xd)[ch] = static_cast<uchar>(sum >> 24);
            }
        }
    }
    return dst;
}

TEST(CvImgRotate, MatchesTheFixedPointFormulaPixelForPixel)
{
    cv::RNG rng(20240607);
    const float fixedAngles[] = {0.0f, 0.0349f, 6.2483f, 1.5707964f, 3.1415927f, 4.712389f};
    for (int round = 0; round < 30; ++round) {
        const int w = rng.uniform(2, 400), h = rng.uniform(2, 300);
        const int type = round % 5 == 4 ? CV_8UC1 : CV_8UC3;
        cv::Mat src(h, w, type);
        rng.fill(src, cv::RNG::UNIFORM, 0, 256);
        const float angle = round < 6 ? fixedAngles[round] : rng.uniform(0.0f, 6.2831853f);

        float rdx, rdy, dx, dy;
        const cv::Mat expected = referenceRotate(src, angle, rdx, rdy);
        cv::Mat actual;
        CImgHelp::cvImgRotate(src, angle, actual, dx, dy);
        SCOPED_TRACE(testing::Message() << w << "x" << h << " ch " << src.channels() << " angle " << angle);
        ASSERT_EQ(actual.size(), expected.size());
        ASSERT_EQ(actual.type(), expected.type());
        EXPECT_EQ(dx, rdx);
        EXPECT_EQ(dy, rdy);
        EXPECT_EQ(cv::norm(actual, expected, cv::NORM_INF), 0);
    }
}

}  // namespace
}  // namespace stampctl::test
