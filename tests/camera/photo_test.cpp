// The document photo: which files a request writes, the enlargement, and every way it fails.
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "tests/camera/camera_fixture.h"

namespace stampctl::test {
namespace {

class Photo : public Cameras {
protected:
    void SetUp() override
    {
        Cameras::SetUp();
        ASSERT_EQ(openVideoCap(), EC_OK);
    }
    int take(const std::string& name, int type, int erase = 0)
    {
        return getImageFormat(file(name).c_str(), type, erase, 0);
    }
};

TEST_F(Photo, WhatEachTypeWrites)
{
    const cv::Size frame(3264, 2448);
    // .bmp, type 0: the full photo there, the crop beside it as .jpg.
    ASSERT_EQ(take("scan.bmp", 0), EC_OK);
    EXPECT_EQ(sizeOf(file("scan.bmp")), frame);
    const cv::Size cut = sizeOf(file("scan.jpg"));
    // The sheet well inside the picture, as an operator lays it: about 22 mm left of centre.
    EXPECT_NEAR(cut.width, 2732, 30);
    EXPECT_NEAR(cut.height, 1922, 30);

    // .jpg, type 0: the crop replaces the full photo.
    ASSERT_EQ(take("photo.jpg", 0), EC_OK);
    EXPECT_EQ(sizeOf(file("photo.jpg")), cut);

    // .png, type 1 with the erase flag: only the crop, with ".jpg" appended.
    ASSERT_EQ(take("scan.png", 1, 1), EC_OK);
    EXPECT_FALSE(exists(file("scan.png")));
    EXPECT_EQ(sizeOf(file("scan.png.jpg")), cut);

    // Type 1 without the flag: only the full photo.
    ASSERT_EQ(take("full.bmp", 1, 0), EC_OK);
    EXPECT_EQ(sizeOf(file("full.bmp")), frame);
    EXPECT_FALSE(exists(file("full.jpg")));
}

// Another operator must be able to rewrite a photo of the same name (the cut directory is the
// site's, shared by a group), whatever the umask of whoever took it first. A rewrite that cannot
// finish (here: the disk fills up half-way) leaves the old photo whole, and nothing of the new one
// beside it.
TEST_F(Photo, PhotosAreGroupWritableAndARewriteThatCannotFinishLeavesTheOldOneWhole)
{
    const mode_t savedMask = ::umask(022);
    const int taken = take("scan.bmp", 0);
    ::umask(savedMask);
    ASSERT_EQ(taken, EC_OK);
    for (const char* name : {"scan.bmp", "scan.jpg"}) {
        struct stat st {};
        ASSERT_EQ(::stat(file(name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 0777, 0664u) << name;
    }

    const std::string before = readFile(file("scan.bmp"));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1 << 20;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int rewritten = take("scan.bmp", 1, 0);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);

    EXPECT_EQ(rewritten, EC_WRITE_FILE_FAIL);
    EXPECT_TRUE(readFile(file("scan.bmp")) == before);
    for (const auto& entry : std::filesystem::directory_iterator(s.base()))
        EXPECT_EQ(entry.path().filename().string().find(".scan"), std::string::npos) << entry.path();
}

TEST_F(Photo, RefusedWithoutWaitingWhenTheCameraIsClosedOrTheMachineGone)
{
    closeVideoCap();
    const size_t polls = s.heartbeats();
    const int64_t t0 = s.clock().monotonicMs();
    EXPECT_EQ(take("scan.bmp", 0), EC_CAMERA_CLOSED);
    EXPECT_LT(s.clock().monotonicMs() - t0, 100);
    EXPECT_EQ(s.heartbeats(), polls + 1);
    EXPECT_EQ(requests(), 0);

    ASSERT_EQ(openVideoCap(), EC_OK);  // a failed heartbeat fails the photo
    s.machine().setPlugged(false);
    EXPECT_EQ(take("scan.bmp", 0), EC_PORT_OPENFAIL);
    EXPECT_FALSE(exists(file("scan.bmp")));
}

TEST_F(Photo, AnEmptyFrameAndAnUnwritablePathFail)
{
    // The pass after the request delivers nothing.
    EXPECT_EQ(
        photoDuringRead([&] { return take("empty.bmp", 0); }, [] { sim::documentCamera().deliverEmptyFrames(1); }),
        EC_CAPTURE_FAIL);

    // Every file a request writes counts: the full photo, the crop, or both.
    for (auto [type, erase] : {std::pair{0, 0}, {1, 1}, {1, 0}, {2, 0}})
        EXPECT_EQ(getImageFormat("/nonexistent-dir/scan.bmp", type, erase, 0), EC_WRITE_FILE_FAIL)
            << type << "," << erase;
    ASSERT_EQ(::mkdir(file("taken.jpg").c_str(), 0755), 0);  // the crop's place is a folder
    EXPECT_EQ(take("taken.bmp", 0), EC_WRITE_FILE_FAIL);
    EXPECT_EQ(getImageFormat(file("scan.nosuchformat").c_str(), 2, 0, 0), EC_WRITE_FILE_FAIL);
}

// No frame within thirty seconds while the thread runs is a time-out; a thread that ends during
// the wait is reopened once.
TEST_F(Photo, NoFrameWithinThirtySecondsIsATimeoutAndAThreadThatEndsIsReopenedOnce)
{
    const int64_t t0 = s.clock().monotonicMs();
    EXPECT_EQ(photoDuringRead([&] { return take("late.bmp", 0); }, [] { sim::documentCamera().stallNextRead(31000); }),
              EC_CAPTURE_FAIL);
    EXPECT_GT(s.clock().monotonicMs() - t0, 30000);
    EXPECT_FALSE(exists(file("late.bmp")));
    // The camera itself has recovered.
    EXPECT_EQ(checkVideoState(), 1);
    EXPECT_EQ(take("next.bmp", 2), EC_OK);

    // The thread's own reopen after the stall fails, the request's succeeds.
    auto stallAndFailOpens = [](int opens) {
        return [opens] {
            sim::documentCamera().failNextOpens(opens);
            sim::documentCamera().stallNextRead(8000);
        };
    };
    const int opens = doc().opens();
    EXPECT_EQ(photoDuringRead([&] { return take("again.bmp", 0); }, stallAndFailOpens(1)), EC_OK);
    EXPECT_EQ(doc().opens(), opens + 1);
    EXPECT_TRUE(exists(file("again.jpg")));
    EXPECT_EQ(checkVideoState(), 1);

    // Both fail: -205 after the reopen line, without a time-out line.
    EXPECT_EQ(photoDuringRead([&] { return take("never.bmp", 0); }, stallAndFailOpens(2)), EC_CAPTURE_FAIL);
    EXPECT_EQ(checkVideoState(), 2);
}

}  // namespace
}  // namespace stampctl::test
