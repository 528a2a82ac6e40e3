// Edge scan, line fit and the paper rectangle, including pictures with no sheet, a sheet that
// fills the picture, and pictures too small for the scan windows.
#include <cmath>

#include "tests/imaging/imaging_fixture.h"

namespace stampctl::test {
namespace {

TEST_F(ImagingTest, SheetTouchingTheLeftEdgeGivesAVerticalLineWithoutDeviation)
{
    sim::PaperPhoto layout;
    layout.sheetSize = {3000, 2600};  // taller than the photo: paper on every row
    layout.sheetCentre = {1400, 1224};
    const cv::Mat bin = threshold(sim::drawPaperPhoto(layout));

    const BorderLine left = img()->FindBorder(bin, BORDER_LEFT);
    ASSERT_TRUE(left.found);
    ASSERT_EQ(left.edge.size(), 245u);  // rows 0, 10, ... 2440
    for (const cv::Point& p : left.edge) EXPECT_EQ(p.x, 0);
    EXPECT_EQ(left.deviation, 0);
    EXPECT_EQ(left.rotAngle, 0);
}

TEST_F(ImagingTest, BoardWithoutASheetFindsNothingAndKeepsTheRectangle)
{
    sim::PaperPhoto layout;
    layout.withSheet = false;
    const cv::Mat photo = sim::drawPaperPhoto(layout);
    const cv::Mat bin = threshold(photo);
    for (BORDER br : {BORDER_LEFT, BORDER_TOP, BORDER_RIGHT, BORDER_BOTTOM})
        EXPECT_TRUE(img()->FindBorder(bin, br).edge.empty()) << br;
    cv::Mat out;
    EXPECT_FALSE(img()->AutoRotateByPaper(photo, out, "empty board", m_cut));

    setPaperRect({11, 12, 13, 14});
    EXPECT_FALSE(img()->MakePaperArea(bin, 0, m_cut));
    EXPECT_EQ(paperRect(), cv::Rect(11, 12, 13, 14));
    EXPECT_TRUE(traced("MakePaperArea paper fail (bL:0, langle:(0.000000:0.000000)), (bB:0, rangle:(0.000000:0.000000)), "
                       "(bT:0, tangle:(0.000000:0.000000)), (bB:0, bangle:(0.000000:0.000000))"));

    // The crop then keeps the whole picture.
    EXPECT_FALSE(img()->AutoCutPaperByImg(photo, "board", path("cut/board.jpg").c_str(), nullptr, 0, 0, m_cut));
    EXPECT_EQ(paperRect(), cv::Rect(0, 0, 3264, 2448));
    EXPECT_EQ(m_cut.picture.size(), photo.size());
    EXPECT_EQ(cv::imread(path("cut/board.jpg")).size(), photo.size());
}

TEST_F(ImagingTest, LineFitUsesTheLargestGroupAndTheSmallerOffsetOnATie)
{
    // Left border points, pairs of neighbouring scan lines: two pairs moving by +2, two by -1,
    // and one pair that skips a scan line and must not count.
    const std::vector<cv::Point> edge = {{500, 0},   {498, 10},  {400, 20}, {401, 30},
                                         {502, 40},  {500, 50},  {403, 60}, {404, 70},
                                         {700, 80},  {600, 100}};
    std::vector<cv::Point> effect;
    cv::Vec4f line;
    double dev = -1, rot = -1, angle = -1;
    ASSERT_TRUE(img()->FindEffectDot(10, edge, effect, line, dev, rot, true, angle));
    EXPECT_EQ(effect, (std::vector<cv::Point>{{400, 20}, {401, 30}, {403, 60}, {404, 70}}));

    // Drifting right going down by 4 px in 50: the rotation is the small positive one.
    const double expected = std::atan2(4.0, 50.0);
    EXPECT_NEAR(dev, expected, 0.01);
    EXPECT_NEAR(rot, expected, 0.01);

    // Below four points, or no pair one scan line apart: no line.
    EXPECT_FALSE(img()->FindEffectDot(10, {{1, 0}, {1, 10}, {1, 20}}, effect, line, dev, rot, true, angle));
    EXPECT_FALSE(img()->FindEffectDot(10, {{1, 0}, {1, 30}, {1, 40}, {1, 70}}, effect, line, dev, rot, true, angle));
    EXPECT_TRUE(effect.empty());
}

TEST_F(ImagingTest, FoundRectangleLiesWithinThreePixelsOfTheDrawnSheet)
{
    sim::PaperPhoto layout;
    layout.sheetCentre = {1500, 1300};
    layout.print = {{{200, 200, 1500, 600}}};
    layout.impressions = {{{2400, 1700}, 100, false}};
    const cv::Mat bin = threshold(sim::drawPaperPhoto(layout));
    ASSERT_TRUE(img()->MakePaperArea(bin, 0, m_cut));
    const std::vector<cv::Point2f> c = sim::sheetCorners(layout);
    EXPECT_NEAR(m_cut.paper.x, c[0].x, 3);
    EXPECT_NEAR(m_cut.paper.y, c[0].y, 3);
    EXPECT_NEAR(m_cut.paper.width, c[1].x - c[0].x, 3);
    EXPECT_NEAR(m_cut.paper.height, c[3].y - c[0].y, 3);
}

TEST_F(ImagingTest, MarginGivesAFixedCentredWindow)
{
    const cv::Mat bin(2448, 3264, CV_8UC1, cv::Scalar(0));
    ASSERT_TRUE(img()->MakePaperArea(bin, 10, m_cut));
    EXPECT_EQ(paperRect(), cv::Rect(250, 243, 2765, 1963));
    EXPECT_TRUE(traced("MakePaperArea no cut 250-243-2765-1963"));
    ASSERT_TRUE(img()->MakePaperArea(bin, 100, m_cut));
    EXPECT_EQ(paperRect(), cv::Rect(160, 153, 2945, 2143));
}

TEST_F(ImagingTest, GrowingTheRectangleStopsAtThePictureEdges)
{
    const cv::Mat picture(1000, 2000, CV_8UC1);
    setPaperRect({50, 5, 1940, 500});
    img()->AdjustPaperArea(picture, 20, m_cut.paper);
    // Left moves out by 20, top only to 0 (5 added); the right side stops one short of the
    // edge, the bottom grows by 20.
    EXPECT_EQ(paperRect(), cv::Rect(30, 0, 1969, 525));
}

TEST_F(ImagingTest, BorderCoordinateFallsBackToTheOutermostSupportedEdge)
{
    // Effective points too scattered for a window of three: 100 edge points near x = 40 decide.
    std::vector<cv::Point> edge;
    for (int i = 0; i < 110; ++i) edge.emplace_back(40 + i % 3, i * 10);
    const std::vector<cv::Point> effect = {{300, 0}, {600, 10}};
    int value = -1;
    ASSERT_TRUE(img()->FindSameVector(edge, effect, value, BORDER_LEFT));
    EXPECT_EQ(value, 40);
    EXPECT_TRUE(traced("FindSameVector br:0, same times:0, value:40"));
    EXPECT_FALSE(img()->FindSameVector({}, effect, value, BORDER_LEFT));
}

// Photos that leave the scan windows empty or let the sheet fill everything.
TEST_F(ImagingTest, TinyEmptyAndFullPicturesNeverFail)
{
    const std::string out = path("cut/tiny.jpg");
    EXPECT_FALSE(img()->AutoCutPaperByImg(cv::Mat(), "none", out.c_str(), nullptr, 0, 0, m_cut));
    cv::Mat untouched(3, 3, CV_8UC3, cv::Scalar::all(7));
    EXPECT_FALSE(img()->AutoRotateByPaper(cv::Mat(), untouched, "none", m_cut));
    EXPECT_EQ(untouched.at<cv::Vec3b>(0, 0), cv::Vec3b(7, 7, 7));

    for (const cv::Size size : {cv::Size(1, 1), cv::Size(2, 3), cv::Size(40, 30), cv::Size(40, 40), cv::Size(130, 90)}) {
        for (const int grey : {0, 255}) {
            SCOPED_TRACE(testing::Message() << size << " grey " << grey);
            const cv::Mat photo(size, CV_8UC3, cv::Scalar::all(grey));
            const bool found = img()->AutoCutPaperByImg(photo, "tiny", out.c_str(), nullptr, 0, 0, m_cut);
            EXPECT_FALSE(m_cut.picture.empty());
            EXPECT_LE(m_cut.picture.cols, size.width);
            if (grey == 255 && size.width > 30 && size.height > 30) {
                // Paper on every edge (and four scan lines for the fit): the edge points lie on
                // the picture's border.
                EXPECT_TRUE(found);
                EXPECT_EQ(paperRect(), cv::Rect(0, 0, size.width - 1, size.height - 1));
            }
        }
    }
}

TEST_F(ImagingTest, SheetFillingThePhotoIsCutToThePhoto)
{
    sim::PaperPhoto layout;
    layout.sheetSize = {3400, 2600};
    layout.print = {{{400, 400, 1000, 500}}};
    const cv::Mat photo = sim::drawPaperPhoto(layout);
    ASSERT_TRUE(img()->AutoCutPaperByImg(photo, "full", path("cut/full.jpg").c_str(), nullptr, 0, 0, m_cut));
    EXPECT_FALSE(m_cut.rotated);
    EXPECT_EQ(paperRect(), cv::Rect(0, 0, 3263, 2447));
}

TEST_F(ImagingTest, WindowReachingPastThePhotoIsClipped)
{
    sim::PaperPhoto layout;
    const cv::Mat photo = sim::drawPaperPhoto(layout);
    ASSERT_TRUE(img()->AutoCutPaperByImg(photo, "wide", path("cut/wide.jpg").c_str(), path("cut/wide2.jpg").c_str(), 300, 0, m_cut));
    EXPECT_EQ(m_cut.paper.width, 3345);  // the rectangle keeps its size; the picture is clipped
    EXPECT_EQ(m_cut.picture.size(), photo.size());
    EXPECT_EQ(cv::imread(path("cut/wide.jpg")).size(), photo.size());
    EXPECT_EQ(cv::imread(path("cut/wide2.jpg")).size(), photo.size());
}

}  // namespace
}  // namespace stampctl::test
