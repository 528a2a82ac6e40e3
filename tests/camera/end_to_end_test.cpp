// From photo to impression on the simulated board: the operator clicks a pixel of the cut
// picture, the machine stamps, and the next photo shows the impression there.
#include <opencv2/imgproc.hpp>

#include "stampctl/stampctl.h"
#include "tests/camera/camera_fixture.h"

namespace stampctl::test {
namespace {

class EndToEnd : public Cameras {
protected:
    void SetUp() override
    {
        Cameras::SetUp();
        board().laySheet({{150, 160}, 1.5});  // off centre and turned a little
        ASSERT_EQ(openVideoCap(), EC_OK);
    }
    cv::Mat photo(const std::string& name)
    {
        EXPECT_EQ(getImageFormat(file(name + ".bmp").c_str(), 0, 0, 0), EC_OK);
        return cv::imread(file(name + ".jpg"), cv::IMREAD_GRAYSCALE);
    }
    // The centre of what turned dark between two cut pictures.
    static cv::Point2d newInk(const cv::Mat& before, const cv::Mat& after)
    {
        const cv::Rect common(0, 0, std::min(before.cols, after.cols), std::min(before.rows, after.rows));
        cv::Mat darker;
        cv::subtract(before(common), after(common), darker);
        cv::Mat mask = darker > 80;
        const cv::Moments m = cv::moments(mask, true);
        if (m.m00 < 100) return {-1, -1};
        return {m.m10 / m.m00, m.m01 / m.m00};
    }
};

TEST_F(EndToEnd, TheImpressionAppearsWhereTheOperatorClicked)
{
    const cv::Mat before = photo("before");
    ASSERT_FALSE(before.empty());
    // A blank place in the lower right of the sheet.
    const cv::Point click(before.cols * 230 / 297, before.rows * 125 / 210);
    ASSERT_EQ(manualPrintStart(1, click.x, click.y, 0), EC_OK);
    ASSERT_EQ(s.machine().stamps().size(), 1u);

    const cv::Point2d ink = newInk(before, photo("after"));
    EXPECT_LT(cv::norm(ink - cv::Point2d(click)), 8) << "impression at " << ink << ", clicked " << click;
}

TEST_F(EndToEnd, ASealsUncorrectedOffsetShowsOnThePaper)
{
    board().setSealOffsetMm(2, {3, 0});  // three millimetres along the machine's X
    const cv::Mat before = photo("before");
    const cv::Point click(before.cols * 230 / 297, before.rows * 125 / 210);
    ASSERT_EQ(manualPrintStart(2, click.x, click.y, 0), EC_OK);
    const cv::Point2d off = newInk(before, photo("after")) - cv::Point2d(click);
    // Machine X runs down the picture: about 27 pixels lower.
    EXPECT_NEAR(off.y, 3 * 9.15, 6);
    EXPECT_NEAR(off.x, 0, 6);
}

}  // namespace
}  // namespace stampctl::test
