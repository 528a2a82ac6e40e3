// The document and environment cameras: finding them, opening and closing them, and what their
// capture threads do when the stream stalls, the camera goes or the pictures do not come.
#include <climits>

#include "stampctl/camera/camera_source.h"
#include "tests/camera/camera_fixture.h"

namespace stampctl::test {
namespace {

using camera::CameraInfo;
using EnvCamera = Cameras;

TEST(CameraLookup, FirstMatchingDescriptionGivesTheLastDigitOfItsDevice)
{
    const std::vector<CameraInfo> cams{{"/dev/video3", "GWI: GWI"},
                                       {"/dev/video4", "USB Camera: left"},
                                       {"/dev/video1", "USB Camera: right"},
                                       {"/dev/videoX", "Other"}};
    EXPECT_EQ(camera::indexOfCamera(cams, "USB Camera"), 4);
    EXPECT_EQ(camera::indexOfCamera(cams, "GWI"), 3);
    EXPECT_EQ(camera::indexOfCamera(cams, "Other"), 0);        // a letter reads as 0
    EXPECT_EQ(camera::indexOfCamera(cams, "usb camera"), -1);  // case matters
}

// Callers on several threads opening and closing the cameras at once take turns: every open
// succeeds on one device with one thread, and the device is free once the camera is closed or
// the machine disconnected.
TEST_F(Cameras, OpenedAndClosedFromSeveralThreadsAtOnce)
{
    for (int round = 0; round < 5; ++round) {
        std::vector<std::future<int>> calls;
        for (int t = 0; t < 2; ++t) {
            calls.push_back(std::async(std::launch::async, [] { return openVideoCap(); }));
            calls.push_back(std::async(std::launch::async, [] { return openEnvVideoCap(320, 240); }));
        }
        calls.push_back(std::async(std::launch::async, [] { return closeVideoCap(); }));
        for (auto& call : calls) EXPECT_EQ(call.get(), EC_OK) << round;
        EXPECT_EQ(checkVideoState() == 1, doc().held()) << round;
        EXPECT_TRUE(env().held()) << round;
        EXPECT_EQ(closeVideoCap(), EC_OK);
        EXPECT_EQ(closeEnvVideoCap(), EC_OK);
        EXPECT_FALSE(doc().held() || env().held()) << round;
    }
    // Disconnecting stops both cameras and frees their devices.
    ASSERT_EQ(openVideoCap(), EC_OK);
    ASSERT_EQ(openEnvVideoCap(640, 480), EC_OK);
    passes(1);
    passes(1, env());
    EXPECT_EQ(disconnMachine(), EC_OK);
    EXPECT_FALSE(doc().held() || env().held());
}

TEST_F(Cameras, OpeningFailuresAndAnOpenCameraOpenedAgainOrAClosedOneClosed)
{
    EXPECT_EQ(closeVideoCap(), EC_OK);
    // The factory-only operation is refused on the backup board before the device is touched.
    s.machine().setBoard(sim::Board::Backup);
    EXPECT_EQ(openVideoCap(), EC_NEED_MAIN_BOARD);
    EXPECT_EQ(doc().opens(), 0);
    s.machine().setBoard(sim::Board::Main);
    doc().setPlugged(false);
    EXPECT_EQ(openVideoCap(), EC_CAMERA_FAULT);
    doc().setPlugged(true);
    doc().failNextOpens(1);
    EXPECT_EQ(openVideoCap(), EC_CAMERA_FAULT);
    EXPECT_EQ(checkVideoState(), 2);

    ASSERT_EQ(openVideoCap(), EC_OK);
    EXPECT_EQ(std::tuple(checkVideoState(), doc().fourcc(), doc().requestedSize()),
              std::tuple(1, camera::kFourccMjpg, cv::Size(3264, 2448)));
    const int opens = doc().opens();
    EXPECT_EQ(openVideoCap(), EC_OK);
    EXPECT_EQ(doc().opens(), opens);
}

TEST_F(Cameras, AStallBeyondSevenSecondsReopensOnceAndShorterOnesDoNot)
{
    ASSERT_EQ(openVideoCap(), EC_OK);
    passes(2);
    doc().stallNextRead(6500);
    passes(3);
    EXPECT_EQ(doc().opens(), 1);

    doc().stallNextRead(7500);
    ASSERT_TRUE(eventually([] { return sim::documentCamera().opens() == 2; }));
    passes(3);
    EXPECT_EQ(doc().opens(), 2);
    EXPECT_EQ(doc().requestedSize(), cv::Size(3264, 2448));
    EXPECT_EQ(checkVideoState(), 1);
}

// The thread bears ten empty frames in a row; the eleventh, or a stall of a camera that has gone,
// ends it and frees the device.
TEST_F(Cameras, TheThreadEndsOnTheEleventhEmptyFrameOrAStalledCameraThatHasGone)
{
    for (const bool gone : {false, true}) {
        ASSERT_EQ(openVideoCap(), EC_OK);
        passes(1);
        if (gone) {
            doc().setPlugged(false);
            doc().stallNextRead(8000);
        } else {
            doc().deliverEmptyFrames(10);
            passes(14);
            EXPECT_EQ(checkVideoState(), 1);
            doc().deliverEmptyFrames(11);
        }
        ASSERT_TRUE(eventually([] { return checkVideoState() == 2; })) << gone;
        EXPECT_FALSE(doc().held()) << gone;
    }
    EXPECT_EQ(getImageFormat(file("a.bmp").c_str(), 2, 0, 0), EC_CAMERA_CLOSED);
}

TEST_F(Cameras, AProcessThatExitsWithBothCamerasRunningEndsCleanly)
{
    // Wherever the threads are when the process ends, they are joined before what they use goes.
    for (int run = 0; run < 4; ++run)
        EXPECT_EXIT(
            {
                openVideoCap();
                openEnvVideoCap(640, 480);
                if (run % 2) passes(1);
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), "")
            << run;
}

TEST_F(EnvCamera, OpenedAtTheRequestedSizeAndAnImpossibleSizeRefused)
{
    ASSERT_EQ(openEnvVideoCap(1280, 720), EC_OK);
    EXPECT_EQ(env().requestedSize(), cv::Size(1280, 720));
    EXPECT_EQ(env().fourcc(), camera::kFourccMjpg);
    ASSERT_EQ(envPhoto("room.jpg"), EC_OK);
    EXPECT_EQ(sizeOf(file("room.jpg")), cv::Size(1280, 720));

    // A size no camera delivers is refused; a second open does not open the device again.
    for (auto [w, h] : {std::pair{100000, 100000}, {8193, 600}, {800, INT_MAX}, {0, 600}, {800, -1}, {INT_MIN, 1}})
        EXPECT_EQ(openEnvVideoCap(w, h), EC_CAMERA_PARAMETER) << w << "x" << h;
    EXPECT_EQ(openEnvVideoCap(800, 600), EC_OK);
    EXPECT_EQ(env().opens(), 1);
    EXPECT_EQ(env().requestedSize(), cv::Size(1280, 720));
}

TEST_F(EnvCamera, AnEmptyFrameGivesOneAnUnwritablePathFailsAndNoFrameWithinTwentySecondsTimesOut)
{
    ASSERT_EQ(openEnvVideoCap(640, 480), EC_OK);
    EXPECT_EQ(photoDuringRead([&] { return envPhoto("empty.jpg"); },
                              [] { sim::environmentCamera().deliverEmptyFrames(1); }, env()),
              1);
    EXPECT_FALSE(exists(file("empty.jpg")));
    ASSERT_EQ(envPhoto("ok.jpg"), EC_OK);
    EXPECT_EQ(envPhoto("room.unknownformat"), EC_WRITE_FILE_FAIL);

    // The thread's reopen after the stall fails: it ends and the request is not served.
    auto stall = [] {
        sim::environmentCamera().failNextOpens(1);
        sim::environmentCamera().stallNextRead(21000);
    };
    EXPECT_EQ(photoDuringRead([&] { return envPhoto("late.jpg"); }, stall, env()), EC_CAPTURE_FAIL);
    // The request gives up when the clock passes its limit, maybe before the thread has ended.
    EXPECT_TRUE(eventually([] { return !sim::environmentCamera().held(); }));
    EXPECT_EQ(env().opens(), 1);
}

}  // namespace
}  // namespace stampctl::test
