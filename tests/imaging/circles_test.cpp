// The calibration sheet's circles: the grid search with its pictures, and the rim fit.
#include <filesystem>

#include "tests/imaging/imaging_fixture.h"

namespace stampctl::test {
namespace {

namespace fs = std::filesystem;

// The upright calibration photo with a stamp near the middle of each of the 5 x 2 cells, each a
// little off in its own way so that the order of the results shows.
sim::PaperPhoto stampedSheet(double angleDeg = 0)
{
    sim::PaperPhoto layout;
    layout.photo = {2448, 3264};
    layout.sheetCentre = {1224, 1632};
    layout.sheetSize = {1943, 2745};
    layout.angleDeg = angleDeg;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 2; ++c)
            layout.impressions.push_back(
                {{20 + 951.5f * c + 475 + 7 * r - 15 * c, 290.5f + 541 * r + 5 * c - 3 * r}, 184});
    return layout;
}

class CircleSearch : public ImagingTest {
protected:
    int find(const sim::PaperPhoto& layout, int rows = 5, int cols = 2)
    {
        cv::imwrite(photo(), sim::drawPaperPhoto(layout));
        return img()->FindCircleByPaper(photo().c_str(), rows, cols, m_points, m_cut);
    }
    void expectAt(const sim::PaperPhoto& layout, double tolerance)
    {
        ASSERT_EQ(m_points.size(), layout.impressions.size());
        for (size_t i = 0; i < m_points.size(); ++i)
            EXPECT_LT(cv::norm(cv::Point2f(m_points[i]) - sim::sheetToPhoto(layout, layout.impressions[i].centre)),
                      tolerance)
                << i;
    }
    std::string photo() const { return path("cut/jiaozhun.jpg"); }
    int channelsOfCell(int r, int c) const
    {
        return cv::imread(photo() + ".bz_" + std::to_string(r) + "_" + std::to_string(c) + ".jpg", cv::IMREAD_UNCHANGED)
            .channels();
    }
    int bluePixels(const std::string& file) const
    {
        cv::Mat blue;
        cv::inRange(cv::imread(file), cv::Scalar(200, 0, 0), cv::Scalar(255, 60, 60), blue);
        return cv::countNonZero(blue);
    }
    std::vector<cv::Point> m_points{{5, 5}};
};

TEST_F(CircleSearch, GridFoundRowByRowWithEveryPictureAndRewrittenOnTheSamePath)
{
    const sim::PaperPhoto layout = stampedSheet();
    EXPECT_EQ(find(layout), 10);
    expectAt(layout, 2.0);
    EXPECT_EQ(cv::imread(photo() + ".bz.jpg").size(), cv::imread(photo() + ".cjbz.jpg").size() - cv::Size(40, 40));
    for (int cell = 0; cell < 10; ++cell) EXPECT_EQ(channelsOfCell(cell / 2, cell % 2), 3) << cell;  // rim drawn
    EXPECT_GT(bluePixels(photo() + ".res.jpg"), 10 * 2500);

    EXPECT_EQ(find(stampedSheet()), 10);  // a second run on the same path replaces every picture
    sim::PaperPhoto blank = stampedSheet();
    blank.impressions.clear();
    EXPECT_EQ(find(blank), 0);
    EXPECT_EQ(m_points, std::vector<cv::Point>(10, cv::Point(-1, -1)));
    for (int cell = 0; cell < 10; ++cell) EXPECT_EQ(channelsOfCell(cell / 2, cell % 2), 1) << cell;
    EXPECT_EQ(bluePixels(photo() + ".res.jpg"), 0);
}

TEST_F(CircleSearch, TurnedSheetEmptyAndOversizedCells)
{
    // The board's dark corners reach into the corner cells of a sheet turned by 2 degrees.
    const sim::PaperPhoto turned = stampedSheet(2.0);
    EXPECT_EQ(find(turned), 10);
    expectAt(turned, 6.0);

    sim::PaperPhoto layout = stampedSheet();
    layout.impressions[0].radius = 330;                        // a seal too big for the search
    layout.impressions.erase(layout.impressions.begin() + 4);  // cell 2,0 blank
    EXPECT_EQ(find(layout), 8);
    ASSERT_EQ(m_points.size(), 10u);
    EXPECT_EQ(m_points[0], cv::Point(-1, -1));
    EXPECT_EQ(m_points[4], cv::Point(-1, -1));
    EXPECT_EQ(channelsOfCell(2, 0), 1);
}

TEST_F(CircleSearch, NothingToSearchGivesNoCircles)
{
    EXPECT_EQ(img()->FindCircleByPaper(photo().c_str(), 5, 2, m_points, m_cut), 0);  // no photo at all
    EXPECT_TRUE(m_points.empty());
    EXPECT_FALSE(fs::exists(photo() + ".res.jpg"));
    EXPECT_EQ(img()->FindCircleByPaper(nullptr, 5, 2, m_points, m_cut), 0);
    // A grid without cells is refused before anything is read or written.
    for (auto [rows, cols] : {std::pair{0, 2}, {5, 0}, {-1, 2}, {5, -3}}) {
        m_points = {{1, 1}};
        EXPECT_EQ(find(stampedSheet(), rows, cols), 0);
        EXPECT_TRUE(m_points.empty());
    }
    EXPECT_FALSE(fs::exists(photo() + ".res.jpg"));
}

// n valid points on the circle (cx, cy, r), spread over the whole rim.
TEdgePtArr rimPoints(int n, float cx, float cy, float r)
{
    TEdgePtArr pts{};
    for (int i = 0; i < n; ++i)
        pts.pt[pts.count++] = {cvRound(cx + r * std::cos(2 * CV_PI * i / n)),
                               cvRound(cy + r * std::sin(2 * CV_PI * i / n)), 1};
    return pts;
}

TEST(CircleFit, SmudgedRimKeepsTheEarlierCircleAndTheRimIsTheFirstDarkPixelFromOutside)
{
    TCircle c{300, 300, 150};
    TEdgePtArr pts = rimPoints(40, 320, 290, 140);
    for (int i = 16; i < 40; ++i) {  // a smudge spreads most of the rim outwards
        pts.pt[i].x += (pts.pt[i].x - 320) / 2;
        pts.pt[i].y += (pts.pt[i].y - 290) / 2;
    }
    CImgHelp::DelErrPt(pts, TCircle{320, 290, 140}, 20);
    CImgHelp::FitCircle(pts, c);  // the 16 left are too few to trust
    EXPECT_EQ(c.x, 300);
    EXPECT_EQ(c.r, 150);

    CImgHelp::FitCircle(rimPoints(17, 320, 290, 140), c);  // 17 are enough
    EXPECT_NEAR(c.x, 320, 1);
    EXPECT_NEAR(c.y, 290, 1);
    EXPECT_NEAR(c.r, 140, 1);

    // The rim is the first dark pixel from outside.
    cv::Mat pic(500, 500, CV_8UC1, cv::Scalar(255));
    cv::circle(pic, {250, 250}, 120, cv::Scalar(0), 8);  // dark from radius 116 to 124
    CImgHelp::FindCircleEdgePt(pic, pts, TCircle{255, 245, 110}, 150);
    ASSERT_EQ(pts.count, 720);
    for (int i = 0; i < pts.count; i += 45)
        EXPECT_NEAR(std::hypot(pts.pt[i].x - 250, pts.pt[i].y - 250), 124, 1.5) << i;
    EXPECT_EQ(pts.pt[0].y, 245);  // ray 0 runs along +x

    TCircle found{};
    ASSERT_FALSE(CImgHelp::Instance()->FindCircle(pic, found));
    EXPECT_NEAR(found.x, 250, 1);
    EXPECT_NEAR(found.y, 250, 1);
    EXPECT_NEAR(found.r, 126, 1.5);  // the smoothing darkens a pixel or two around the rim
    EXPECT_TRUE(CImgHelp::Instance()->FindCircle(cv::Mat(500, 500, CV_8UC1, cv::Scalar(255)), found));
}

}  // namespace
}  // namespace stampctl::test
