// The environment camera: its sizes, its own limits and its photo.
#include "tests/camera/camera_fixture.h"

namespace stampctl::test {
namespace {

class EnvCamera : public Cameras {
protected:
    int photo(const std::string& name) { return seal()._TakeEnvPhoto(file(name)); }
};

TEST_F(EnvCamera, TheSizesOfTheLastOpenAreUsedByTheThreadsReopen)
{
    ASSERT_EQ(seal()._openEnvVideoCap(1280, 720), EC_OK);
    EXPECT_EQ(env().requestedSize(), cv::Size(1280, 720));
    EXPECT_EQ(env().fourcc(), camera::kFourccMjpg);
    ASSERT_EQ(photo("room.jpg"), EC_OK);
    EXPECT_EQ(sizeOf(file("room.jpg")), cv::Size(1280, 720));

    // A second open only stores its sizes.
    EXPECT_EQ(seal()._openEnvVideoCap(800, 600), EC_OK);
    EXPECT_TRUE(s.traced("环境摄像头已打开，直接返回成功"));
    EXPECT_EQ(env().opens(), 1);
    EXPECT_EQ(env().requestedSize(), cv::Size(1280, 720));

    // Five and a half seconds without a frame are a stall here (not for the document camera).
    env().stallNextRead(5500);
    ASSERT_TRUE(eventually([] { return sim::environmentCamera().opens() == 2; }));
    EXPECT_EQ(env().requestedSize(), cv::Size(800, 600));
    EXPECT_TRUE(s.traced("-----重新打开环境摄像头摄像头成功-----"));
    ASSERT_EQ(photo("after.png"), EC_OK);
    EXPECT_EQ(sizeOf(file("after.png")), cv::Size(800, 600));
}

TEST_F(EnvCamera, ClosedMissingOrUnopenableCameras)
{
    EXPECT_EQ(photo("closed.jpg"), EC_CAMERA_CLOSED);
    EXPECT_TRUE(s.traced("<-- _TakeEnvPhoto return:-200"));

    env().setPlugged(false);
    EXPECT_EQ(seal()._openEnvVideoCap(640, 480), EC_CAMERA_FAULT);
    EXPECT_TRUE(s.traced("未找到环境摄像头"));
    env().setPlugged(true);
    env().failNextOpens(1);
    EXPECT_EQ(seal()._openEnvVideoCap(640, 480), EC_CAMERA_FAULT);
    EXPECT_TRUE(s.traced("打开环境摄像头失败"));

    // Closing frees the device at once for the next open.
    ASSERT_EQ(seal()._openEnvVideoCap(640, 480), EC_OK);
    passes(2, env());
    EXPECT_EQ(seal()._closeEnvVideoCap(), EC_OK);
    EXPECT_FALSE(env().held());
    EXPECT_EQ(seal()._openEnvVideoCap(640, 480), EC_OK);
}

TEST_F(EnvCamera, AnEmptyFrameGivesOneAndAnUnwritablePathIsNoSuccess)
{
    ASSERT_EQ(seal()._openEnvVideoCap(640, 480), EC_OK);
    EXPECT_EQ(photoDuringRead([&] { return photo("empty.jpg"); }, [] { sim::environmentCamera().deliverEmptyFrames(1); },
                              env()),
              1);
    EXPECT_FALSE(exists(file("empty.jpg")));
    EXPECT_TRUE(s.traced("<-- _TakeEnvPhoto return:1"));

    ASSERT_EQ(photo("ok.jpg"), EC_OK);
    EXPECT_EQ(seal()._TakeEnvPhoto("/nonexistent-dir/room.jpg"), EC_WRITE_FILE_FAIL);
    EXPECT_EQ(photo("room.unknownformat"), EC_WRITE_FILE_FAIL);
}

TEST_F(EnvCamera, NoFrameWithinTwentySecondsIsATimeoutWithoutAReopen)
{
    ASSERT_EQ(seal()._openEnvVideoCap(640, 480), EC_OK);
    // The thread's reopen after the stall fails: it ends and the request is not served.
    auto stall = [] {
        sim::environmentCamera().failNextOpens(1);
        sim::environmentCamera().stallNextRead(21000);
    };
    EXPECT_EQ(photoDuringRead([&] { return photo("late.jpg"); }, stall, env()), EC_CAPTURE_FAIL);
    EXPECT_TRUE(s.traced("-- end takephoto 超时, 环境摄像头拍照失败--"));
    EXPECT_EQ(env().opens(), 1);
    EXPECT_FALSE(seal().envVideoRunning());
}

}  // namespace
}  // namespace stampctl::test
