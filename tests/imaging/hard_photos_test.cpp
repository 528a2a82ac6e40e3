// Photos on which a cut that looks like a sheet would be wrong: a board lighter than the
// configured threshold, shadows, a tilted camera, a sheet running off the photo's edge.
#include "tests/imaging/imaging_fixture.h"

namespace stampctl::test {
namespace {

TEST_F(ImagingTest, BoardLighterThanTheThresholdStillGivesTheSheetAtThePhotosOwnThreshold)
{
    for (uint8_t board : {64, 67, 97}) {
        sim::PaperPhoto layout;
        layout.board = board;
        layout.angleDeg = 2;
        layout.print = {{{300, 300, 1200, 400}}};
        ASSERT_TRUE(img()->AutoCutPaperByImg(sim::drawPaperPhoto(layout), "grey", path("cut/g.jpg").c_str(), nullptr, 0,
                                             0, m_cut))
            << int(board);
        EXPECT_NEAR(m_cut.paper.width, 2745, 6) << int(board);
        EXPECT_NEAR(m_cut.paper.height, 1943, 6) << int(board);
        EXPECT_NEAR(turnDeg(m_cut), -2, 0.05) << int(board);
    }
    EXPECT_GT(tracedLines(m_base.path(), "(Otsu)"), 0);
    // A record holding the whole photo's size (an old calibration on no sheet) does not widen the check.
    sim::PaperPhoto light;
    light.board = 64;
    light.angleDeg = 2;
    img()->AutoCutPaperByImg(sim::drawPaperPhoto(light), "rec", path("cut/r.jpg").c_str(), nullptr, 0, 0, m_cut,
                             SheetSize::FromRecord(3253, 2421));
    EXPECT_NEAR(m_cut.paper.width, 2745, 6);
}

// The housing's shadow across the top of the sheet on a lit board (the configured threshold sees
// the board as paper, Otsu's the shadowed paper as board), and a dark board whose soft shadow
// brightens towards a blurred sheet (the threshold's edge lies a few millimetres out): the cut is
// the sheet within 2 mm on every side, the turn within 0.2 degrees.
TEST_F(ImagingTest, ShadowsOverAndAroundTheSheetLeaveTheWholeSheet)
{
    for (const bool band : {true, false})
        for (const double turn : {0.0, 1.5, -2.0}) {
            SCOPED_TRACE(testing::Message() << (band ? "band " : "halo ") << turn);
            sim::PaperPhoto layout;
            layout.angleDeg = turn;
            layout.print = {{{300, 500, 1200, 400}}};
            if (band) {
                layout.board = 75;
                const int sheetTop = cvRound(layout.sheetCentre.y - layout.sheetSize.height / 2);
                layout.shadowRows = cv::Range(0, sheetTop + cvRound(45 * kSheetPxPerMm));
                layout.shade = 0.55;
            } else {
                layout.board = 12;
                layout.haloPx = 25;
                layout.haloGrey = 120;
                layout.blurSigma = 1.5;
            }
            ASSERT_TRUE(img()->AutoCutPaperByImg(sim::drawPaperPhoto(layout), "shadow", path("cut/s.jpg").c_str(),
                                                 nullptr, 0, 0, m_cut));
            expectCornersOnSheet(m_cut, layout);
            EXPECT_NEAR(turnDeg(m_cut), -turn, 0.2);
        }
}

// A camera tilted by 1 or 2 degrees of pitch or roll shows a trapezoid: it is mapped from its
// corners. A square camera's sheet keeps the turn. Either way a point of the cut goes back to
// within a pixel and a half of its place in the photo.
TEST_F(ImagingTest, TiltedCameraSheetIsStraightenedFromItsCorners)
{
    struct View {
        double pitch, roll, turn;
    };
    for (const View v : {View{0, 0, 0}, View{0, 0, -3}, View{0, 0, 1.5}, View{1, 0, 0}, View{-2, 0, 1},
                         View{0, 1, -1.5}, View{0, -2, 0}, View{1.5, 1.5, 2}}) {
        SCOPED_TRACE(testing::Message() << "pitch " << v.pitch << " roll " << v.roll << " turn " << v.turn);
        sim::PaperPhoto layout;
        layout.angleDeg = v.turn;
        layout.view = sim::cameraTilt(v.pitch, v.roll);
        layout.impressions = {{{2000, 600}, 12, true}};
        const cv::Mat photo = sim::drawPaperPhoto(layout);
        ASSERT_TRUE(img()->AutoCutPaperByImg(photo, "tilt", path("cut/t.jpg").c_str(), nullptr, 0, 0, m_cut));
        EXPECT_EQ(m_cut.perspective, v.pitch != 0 || v.roll != 0);
        expectCornersOnSheet(m_cut, layout);
        EXPECT_NEAR(turnDeg(m_cut), -v.turn, 0.2);
        // The dot, found in the cut by looking, goes back onto itself in the photo.
        cv::Mat dark;
        cv::cvtColor(m_cut.picture, dark, cv::COLOR_BGR2GRAY);
        const cv::Moments m = cv::moments(dark(cv::Rect(1900, 500, 200, 200)) < 128, true);
        ASSERT_GT(m.m00, 100);
        cv::Point dot(1900 + cvRound(m.m10 / m.m00), 500 + cvRound(m.m01 / m.m00));
        m_cut.ConvertXYtoSrcPic(dot.x, dot.y);
        EXPECT_LT(cv::norm(cv::Point2f(dot) - sim::sheetToPhoto(layout, {2000, 600})), 1.5);
    }
}

TEST_F(ImagingTest, SheetRunningOffThePhotosTopIsTurnedByItsLeftEdge)
{
    for (double turn : {1.0, -1.0, 2.0}) {
        sim::PaperPhoto layout;
        layout.angleDeg = turn;
        layout.sheetCentre.y = layout.sheetSize.height / 2;  // the top edge crosses the photo's
        ASSERT_TRUE(img()->AutoCutPaperByImg(sim::drawPaperPhoto(layout), "edge", path("cut/e.jpg").c_str(), nullptr, 0,
                                             0, m_cut))
            << turn;
        EXPECT_NEAR(turnDeg(m_cut), -turn, 0.05) << turn;
    }
}

}  // namespace
}  // namespace stampctl::test
