// The simulated paper board: its geometry agrees with the machine's factory calibration, stamps
// land where the machine put them (plus a seal's own offset), and real photos can stand in.
#include <cstdlib>

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

TEST_F(Cameras, BoardGeometryRunsMachineYAlongThePicturesLongSide)
{
    board().setCameraTurnDeg(0.8);
    const cv::Point2d a = board().machineToPicture({150, 100});
    const cv::Point2d b = board().machineToPicture({150, 200});
    EXPECT_NEAR(a.x - b.x, 920, 15);  // about 9.2 pixels per millimetre, Y growing leftwards
    EXPECT_NEAR(a.y - b.y, 100 * 9.2 * std::sin(0.8 * CV_PI / 180), 1.5);  // turned clockwise

    for (const cv::Point2d mm : {cv::Point2d(60, 5), cv::Point2d(240, 290)}) {
        const cv::Point2d back = board().pictureToMachine(board().machineToPicture(mm));
        EXPECT_NEAR(back.x, mm.x, 1e-9);
        EXPECT_NEAR(back.y, mm.y, 1e-9);
    }
    const cv::Size frame(3264, 2448);
    const cv::Point2d corner = sim::PaperBoard::pictureToFrame({0, 0}, frame);
    EXPECT_NEAR(corner.x, 39 * 3264.0 / 3342, 0.5);  // where the enlargement's cut begins
    const cv::Point2d back = sim::PaperBoard::frameToPicture(sim::PaperBoard::pictureToFrame({1000, 700}, frame), frame);
    EXPECT_NEAR(back.x, 1000, 1e-9);
    EXPECT_NEAR(back.y, 700, 1e-9);
}

TEST_F(Cameras, StampsLandWhereTheMachinePutThemPlusTheSealsOffset)
{
    std::vector<sim::StampRequest> made;
    board().setStampSource([&] { return made; });
    board().setSealOffsetMm(2, {3, -1});
    // The head sits 15 mm along X from where the axes put it (the edition's seal_dx of -15
    // makes up for it).
    made.push_back({1, 15000 - 1500, 12000, 0, 0, -1, true});
    made.push_back({2, 15000 - 1500, 12000, 90, 1, -1, true});
    made.push_back({3, 18000, 9000, 0, 0, -1, false});  // the seal never reached the paper
    const std::vector<cv::Point2d> seen = board().impressionsInPicture();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_LT(cv::norm(seen[0] - board().machineToPicture({150, 120})), 0.01);
    EXPECT_LT(cv::norm(seen[1] - board().machineToPicture({153, 119})), 0.01);

    // Ink stays on its paper: a fresh sheet is blank, and turning the camera afterwards moves
    // the impression in the picture with the place it was made.
    board().laySheet({{150, 150}, 1});
    EXPECT_TRUE(board().impressionsInPicture().empty());
    made.push_back({1, 23000 - 1500, 28000, 0, 0, -1, true});
    board().setCameraTurnDeg(0.5);
    EXPECT_LT(cv::norm(board().impressionsInPicture().at(0) - board().machineToPicture({230, 280})), 0.01);
}

TEST_F(Cameras, PhotosNamedInTheEnvironmentAreReplayedInTurn)
{
    const std::string dir = file("replay");
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    cv::imwrite(dir + "/a.png", cv::Mat(600, 800, CV_8UC3, cv::Scalar(10, 200, 30)));
    cv::imwrite(dir + "/b.jpg", cv::Mat(768, 1024, CV_8UC3, cv::Scalar(200, 20, 20)));
    s.writeFile("replay/notes.txt", "not a picture");
    ::setenv(sim::kSimPhotosEnv, dir.c_str(), 1);
    ASSERT_EQ(sim::simPhotoFiles().size(), 2u);

    ASSERT_EQ(seal()._openVideoCap(), EC_OK);
    ASSERT_EQ(seal()._getImageFormat(file("1.bmp").c_str(), 2, 0, 0), EC_OK);
    ASSERT_EQ(seal()._getImageFormat(file("2.bmp").c_str(), 0, 0, 0), EC_OK);
    ASSERT_EQ(seal()._getImageFormat(file("3.bmp").c_str(), 2, 0, 0), EC_OK);
    ::unsetenv(sim::kSimPhotosEnv);
    EXPECT_EQ(sizeOf(file("1.bmp")), cv::Size(800, 600));
    EXPECT_EQ(sizeOf(file("2.bmp")), cv::Size(1024, 768));
    EXPECT_TRUE(exists(file("2.jpg")));  // through the crop like any photo
    EXPECT_EQ(sizeOf(file("3.bmp")), cv::Size(800, 600));
}

}  // namespace
}  // namespace stampctl::test
