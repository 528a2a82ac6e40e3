// The simulated paper board: its geometry agrees with the machine's factory calibration. (Where a
// clicked pixel's impression appears is measured by calibration's accuracy test and the tool's.)

#include "stampctl/calibration/calibration_record.h"
#include "stampctl/sim/machine_state.h"
#include "tests/camera/camera_fixture.h"

namespace stampctl::test {
namespace {

int16_t littleEndian(const std::array<uint8_t, sim::kBaseBlockSize>& block, int index)
{
    return static_cast<int16_t>(block[2 * index] | (block[2 * index + 1] << 8));
}

TEST(Board, TheFactoryCalibrationIsWhatTheBoardShows)
{
    const auto block = sim::defaultMachineState().baseBlock;
    calibration::Record record;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(littleEndian(block, 2 + 2 * i), sim::kBoardMarks[i].turnedX) << "circle " << i + 1;
        EXPECT_EQ(littleEndian(block, 3 + 2 * i), sim::kBoardMarks[i].turnedY) << "circle " << i + 1;
        record.m_JZCircle[i] = {sim::kBoardMarks[i].turnedX, sim::kBoardMarks[i].turnedY};
    }
    // The mapping through those circles takes a pixel of the board back to the millimetres it
    // shows, inside the circles and beyond them.
    for (const cv::Point2d mm : {cv::Point2d(85, 35), cv::Point2d(157.5, 152.5), cv::Point2d(62, 290),
                                 cv::Point2d(245, 10), cv::Point2d(200, 120)}) {
        const cv::Point2d px = sim::paperBoard().machineToPicture(mm);
        const calibration::MachineMm got = calibration::toMachineMm(record, 1, {cvRound(px.x), cvRound(px.y)}, 0);
        EXPECT_NEAR(got.x, mm.x, 0.1) << mm;
        EXPECT_NEAR(got.y, mm.y, 0.1) << mm;
    }
}

}  // namespace
}  // namespace stampctl::test
