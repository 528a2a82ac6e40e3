// The simulated paper board: its geometry agrees with the machine's factory calibration, real
// photos can stand in, and a clicked pixel of the cut picture is where the impression appears.

#include <opencv2/imgproc.hpp>

#include "stampctl/sim/machine_state.h"
#include "tests/camera/camera_fixture.h"

namespace stampctl::test {
namespace {

int16_t littleEndian(const std::array<uint8_t, sim::kBaseBlockSize>& block, int index)
{
    return static_cast<int16_t>(block[2 * index] | (block[2 * index + 1] << 8));
}

TEST_F(Cameras, TheFactoryCalibrationIsWhatTheBoardShows)
{
    const auto block = sim::defaultMachineState().baseBlock;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(littleEndian(block, 2 + 2 * i), sim::kBoardMarks[i].turnedX) << "circle " << i + 1;
        EXPECT_EQ(littleEndian(block, 3 + 2 * i), sim::kBoardMarks[i].turnedY) << "circle " << i + 1;
    }
    // The library's own mapping takes a pixel of the board back to the millimetres it shows,
    // inside the circles and beyond them.
    seal().GetPointInfo();
    for (const cv::Point2d mm : {cv::Point2d(85, 35), cv::Point2d(157.5, 152.5), cv::Point2d(62, 290),
                                 cv::Point2d(245, 10), cv::Point2d(200, 120)}) {
        const cv::Point2d px = board().machineToPicture(mm);
        double x = 0, y = 0;
        seal()._SrcPixelToMachineMM(1, cvRound(px.x), cvRound(px.y), 0, x, y);
        EXPECT_NEAR(x, mm.x, 0.1) << mm;
        EXPECT_NEAR(y, mm.y, 0.1) << mm;
    }
}

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

}  // namespace
}  // namespace stampctl::test
