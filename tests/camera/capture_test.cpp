// The document camera: finding it, opening and closing it, and what its capture thread does
// when the stream stalls, the camera goes or the pictures do not come.
#include "stampctl/camera/camera_source.h"
#include "tests/camera/camera_fixture.h"

namespace stampctl::test {
namespace {

using camera::CameraInfo;

TEST(CameraLookup, FirstMatchingDescriptionGivesTheLastDigitOfItsDevice)
{
    const std::vector<CameraInfo> cams{{"/dev/video3", "GWI: GWI"},
                                       {"/dev/video4", "USB Camera: left"},
                                       {"/dev/video1", "USB Camera: right"},
                                       {"/dev/videoX", "Other"}};
    EXPECT_EQ(camera::indexOfCamera(cams, "USB Camera"), 4);
    EXPECT_EQ(camera::indexOfCamera(cams, "GWI"), 3);
    EXPECT_EQ(camera::indexOfCamera(cams, "Other"), 0);  // a letter reads as 0
    EXPECT_EQ(camera::indexOfCamera(cams, "usb camera"), -1);  // case matters
    EXPECT_EQ(camera::indexOfCamera({}, "USB Camera"), -1);
}

TEST_F(Cameras, OpeningAnOpenCameraTouchesNothingAndClosingAClosedOneOnlyTraces)
{
    EXPECT_EQ(seal()._closeVideoCap(), EC_OK);
    EXPECT_TRUE(s.traced("<--CSeal::_closeVideoCap m_bRun:0 Return:0"));
    EXPECT_EQ(doc().opens(), 0);

    ASSERT_EQ(seal()._openVideoCap(), EC_OK);
    EXPECT_EQ(seal()._checkVideoState(), 1);
    EXPECT_EQ(doc().fourcc(), camera::kFourccMjpg);
    EXPECT_EQ(doc().requestedSize(), cv::Size(3264, 2448));

    EXPECT_EQ(seal()._openVideoCap(), EC_OK);
    EXPECT_EQ(doc().opens(), 1);
    EXPECT_TRUE(s.traced("摄像头已打开，直接返回成功"));
}

TEST_F(Cameras, ClosingReturnsWithTheDeviceFreeSoItOpensAgainAtOnce)
{
    ASSERT_EQ(seal()._openVideoCap(), EC_OK);
    passes(2);
    EXPECT_EQ(seal()._closeVideoCap(), EC_OK);
    EXPECT_FALSE(doc().held());
    EXPECT_EQ(seal()._checkVideoState(), 2);
    EXPECT_EQ(seal()._openVideoCap(), EC_OK);
    EXPECT_EQ(doc().opens(), 2);
}

TEST_F(Cameras, OpeningFailsWithoutTheCameraOrWhenItDoesNotOpen)
{
    doc().setPlugged(false);
    EXPECT_EQ(seal()._openVideoCap(), EC_CAMERA_FAULT);
    EXPECT_TRUE(s.traced("未找到摄像头"));
    doc().setPlugged(true);
    doc().failNextOpens(1);
    EXPECT_EQ(seal()._openVideoCap(), EC_CAMERA_FAULT);
    EXPECT_TRUE(s.traced("打开摄像头失败"));
    EXPECT_FALSE(seal().videoRunning());
    // The factory-only operation is refused on the backup board before the device is touched.
    s.machine().setBoard(sim::Board::Backup);
    EXPECT_EQ(seal()._openVideoCap(), EC_NEED_MAIN_BOARD);
    EXPECT_EQ(doc().opens(), 0);
}

TEST_F(Cameras, AStallBeyondSevenSecondsReopensOnceAndShorterOnesDoNot)
{
    ASSERT_EQ(seal()._openVideoCap(), EC_OK);
    passes(2);
    doc().stallNextRead(6500);
    passes(3);
    EXPECT_EQ(doc().opens(), 1);

    doc().stallNextRead(7500);
    ASSERT_TRUE(eventually([] { return sim::documentCamera().opens() == 2; }));
    passes(3);
    EXPECT_EQ(doc().opens(), 2);
    EXPECT_EQ(s.tracedCount("-------------- 帧间隔超时，重新打开摄像头 --------------"), 1u);
    EXPECT_TRUE(s.traced("-----重新打开摄像头成功-----"));
    EXPECT_EQ(doc().requestedSize(), cv::Size(3264, 2448));
    EXPECT_EQ(seal()._checkVideoState(), 1);
}

TEST_F(Cameras, AStalledCameraThatHasGoneOrWillNotReopenEndsTheThread)
{
    ASSERT_EQ(seal()._openVideoCap(), EC_OK);
    passes(2);
    doc().setPlugged(false);
    doc().stallNextRead(8000);
    ASSERT_TRUE(documentThreadEnds());
    EXPECT_TRUE(s.traced("-----未找到摄像头，退出采集程线-----"));
    EXPECT_FALSE(doc().held());
    EXPECT_EQ(seal()._checkVideoState(), 2);
    EXPECT_EQ(seal()._getImageFormat(file("a.bmp").c_str(), 2, 0, 0), EC_CAMERA_CLOSED);

    doc().setPlugged(true);
    ASSERT_EQ(seal()._openVideoCap(), EC_OK);
    passes(2);
    doc().failNextOpens(1);
    doc().stallNextRead(8000);
    ASSERT_TRUE(documentThreadEnds());
    EXPECT_TRUE(s.traced("-----打开摄像头失败，退出采集程线-----"));
    EXPECT_FALSE(doc().held());
}

TEST_F(Cameras, TenEmptyFramesInARowAreBorneAndTheEleventhEndsTheThread)
{
    ASSERT_EQ(seal()._openVideoCap(), EC_OK);
    passes(1);
    doc().deliverEmptyFrames(10);
    passes(14);
    EXPECT_TRUE(seal().videoRunning());
    EXPECT_TRUE(s.traced("=========== 采集图片失败 =========== nCount:10"));

    doc().deliverEmptyFrames(11);
    ASSERT_TRUE(documentThreadEnds());
    EXPECT_TRUE(s.traced("=========== 采集图片失败 =========== nCount:11"));
    EXPECT_FALSE(doc().held());
}

TEST_F(Cameras, ARequestMadeDuringAReadGetsTheFrameOfTheFollowingPass)
{
    ASSERT_EQ(seal()._openVideoCap(), EC_OK);
    passes(1);
    // The read in progress has the sheet in its picture; the request arrives during it, and
    // the sheet is gone before the next read.
    const int r = photoDuringRead([&] { return seal()._getImageFormat(file("during.bmp").c_str(), 2, 0, 0); },
                                  [] { sim::paperBoard().removeSheet(); });
    ASSERT_EQ(r, EC_OK);

    const cv::Scalar mean = cv::mean(cv::imread(file("during.bmp"), cv::IMREAD_GRAYSCALE));
    EXPECT_LT(mean[0], 60) << "the frame read when the request came was handed over";
}

TEST_F(Cameras, DisconnectingStopsBothCamerasAndFreesTheirDevices)
{
    ASSERT_EQ(seal()._openVideoCap(), EC_OK);
    ASSERT_EQ(seal()._openEnvVideoCap(640, 480), EC_OK);
    passes(1);
    passes(1, env());
    EXPECT_EQ(seal()._disconnMachine(), EC_OK);
    EXPECT_FALSE(seal().videoRunning());
    EXPECT_FALSE(seal().envVideoRunning());
    EXPECT_FALSE(doc().held());
    EXPECT_FALSE(env().held());
}

}  // namespace
}  // namespace stampctl::test
