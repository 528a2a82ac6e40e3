// A capture channel on its own, apart from the controller that normally holds it.
#include <memory>

#include "stampctl/camera/capture_channel.h"
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

}  // namespace
}  // namespace stampctl::test
