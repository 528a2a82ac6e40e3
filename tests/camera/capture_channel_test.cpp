// A capture channel on its own, apart from the controller that normally holds it.
#include <memory>

#include <opencv2/imgproc.hpp>

#include "stampctl/camera/capture_channel.h"
#include "stampctl/core/clock.h"
#include "tests/camera/camera_fixture.h"

namespace stampctl::test {
namespace {

// The controller is a static object: a channel that left its thread running when it went would
// leave that thread reading from a device that is being destroyed.
TEST_F(Cameras, AChannelThatGoesStopsItsThreadAndFreesItsDevice)
{
    auto channel =
        std::make_unique<camera::CaptureChannel>(camera::cameraPlatform(), camera::environmentCameraSettings());
    channel->setFrameSize(cv::Size(320, 240));
    ASSERT_TRUE(channel->openDevice(channel->cameraIndex()));
    channel->start();
    passes(2, env());
    EXPECT_TRUE(env().held());

    channel.reset();
    EXPECT_FALSE(env().held());
}

TEST_F(Cameras, ARequestMadeDuringAReadGetsTheFrameOfTheFollowingPass)
{
    camera::CaptureChannel channel(camera::cameraPlatform(), camera::documentCameraSettings());
    ASSERT_TRUE(channel.openDevice(channel.cameraIndex()));
    channel.start();
    // The read in progress has the sheet in its picture; the request arrives during it, and the
    // sheet is gone before the next read.
    doc().holdReads(true);
    ASSERT_TRUE(doc().waitForHeldRead());
    board().removeSheet();
    channel.request();
    doc().holdReads(false);
    cv::Mat frame;
    ASSERT_EQ(channel.waitForFrame(nowMs() + 30000, frame), camera::CaptureChannel::FrameWait::Arrived);
    cv::cvtColor(frame, frame, cv::COLOR_BGR2GRAY);
    EXPECT_LT(cv::mean(frame)[0], 60) << "the frame read when the request came was handed over";
}

}  // namespace
}  // namespace stampctl::test
