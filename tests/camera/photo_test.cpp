// The document photo: which files a request writes, the enlargement, and every way it fails.
#include "stampctl/imaging/img_help.h"
#include "tests/camera/camera_fixture.h"

namespace stampctl::test {
namespace {

class Photo : public Cameras {
protected:
    void SetUp() override
    {
        Cameras::SetUp();
        ASSERT_EQ(seal()._openVideoCap(), EC_OK);
    }
    int take(const std::string& name, int type, int erase = 0)
    {
        return seal()._getImageFormat(file(name).c_str(), type, erase, 0);
    }
    // A sheet well inside the picture, as an operator lays it: about 22 mm left of centre.
    static constexpr double kCutWidth = 2732, kCutHeight = 1922;
};

TEST_F(Photo, WhatEachTypeWrites)
{
    const cv::Size frame(3264, 2448);
    // .bmp, type 0: the full photo there, the crop beside it as .jpg.
    ASSERT_EQ(take("scan.bmp", 0), EC_OK);
    EXPECT_EQ(sizeOf(file("scan.bmp")), frame);
    const cv::Size cut = sizeOf(file("scan.jpg"));
    EXPECT_NEAR(cut.width, kCutWidth, 30);
    EXPECT_NEAR(cut.height, kCutHeight, 30);

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

TEST_F(Photo, TypeTwoWritesTheFullPhotoAndKeepsThePreviousCut)
{
    ASSERT_EQ(take("first.bmp", 0), EC_OK);
    const cv::Mat before = CImgHelp::Instance()->m_MatCutPic.clone();
    board().laySheet({{170, 130}, 2.0});
    ASSERT_EQ(take("second.bmp", 2), EC_OK);
    EXPECT_EQ(sizeOf(file("second.bmp")), cv::Size(3264, 2448));
    EXPECT_FALSE(exists(file("second.jpg")));
    const cv::Mat& after = CImgHelp::Instance()->m_MatCutPic;
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(cv::norm(after, before, cv::NORM_INF), 0);
}

TEST_F(Photo, TheFullPhotoIsTheFrameEnlargedAboutItsCentre)
{
    // Where the board says the sheet's left and top edges lie in the mapped picture is where
    // the photo shows them; without the enlargement they would be some 30 pixels off.
    ASSERT_EQ(take("full.bmp", 2), EC_OK);
    const cv::Mat grey = cv::imread(file("full.bmp"), cv::IMREAD_GRAYSCALE);
    const sim::SheetPlacement sheet;
    const cv::Point2d leftMid = board().machineToPicture({sheet.centreMm.x, sheet.centreMm.y + sim::kA4LongMm / 2});
    const cv::Point2d topMid = board().machineToPicture({sheet.centreMm.x - sim::kA4ShortMm / 2, sheet.centreMm.y});
    auto firstBright = [&](cv::Point from, cv::Point step) {
        for (cv::Point p = from; p.x < grey.cols && p.y < grey.rows; p += step)
            if (grey.at<uint8_t>(p) > 128) return p;
        return cv::Point(-1, -1);
    };
    EXPECT_NEAR(firstBright({0, cvRound(leftMid.y)}, {1, 0}).x, leftMid.x, 2);
    EXPECT_NEAR(firstBright({cvRound(topMid.x), 0}, {0, 1}).y, topMid.y, 2);
}

TEST_F(Photo, RefusedWithoutWaitingWhenTheCameraIsClosedOrThePathMissing)
{
    seal()._closeVideoCap();
    const size_t polls = s.heartbeats();
    const int64_t t0 = s.clock().monotonicMs();
    EXPECT_EQ(take("scan.bmp", 0), EC_CAMERA_CLOSED);
    EXPECT_LT(s.clock().monotonicMs() - t0, 100);
    EXPECT_EQ(s.heartbeats(), polls + 1);
    EXPECT_EQ(seal().GetPHStatus(), CSeal::PH_DONE);
    EXPECT_TRUE(s.traced("<--CSeal::_getImageFormat m_bRun:0, type:0, isEraseBorder:0, filePath:" +
                         file("scan.bmp") + ", quality:0 Return -200, m_bRun:0"));

    EXPECT_EQ(seal()._getImageFormat(nullptr, 0, 0, 0), EC_CAMERA_PARAM_203);
    EXPECT_EQ(s.heartbeats(), polls + 1);
}

TEST_F(Photo, AFailedHeartbeatIsReturnedWithTheResultTextReplaced)
{
    s.machine().setPlugged(false);
    const int r = take("scan.bmp", 0);
    EXPECT_NE(r, EC_OK);
    EXPECT_TRUE(s.traced("<--CSeal::_getImageFormat m_bRun:1, type:0, isEraseBorder:0, filePath:" +
                         file("scan.bmp") + ", quality:0 Return " + std::to_string(r) + ", m_bRun:1"));
    EXPECT_FALSE(exists(file("scan.bmp")));
}

TEST_F(Photo, AnEmptyFrameAndAnUnwritablePathFail)
{
    // The pass after the request delivers nothing.
    EXPECT_EQ(photoDuringRead([&] { return take("empty.bmp", 0); }, [] { sim::documentCamera().deliverEmptyFrames(1); }),
              EC_CAPTURE_FAIL);
    EXPECT_TRUE(s.traced("-- takephoto 采集到的图片无效"));

    EXPECT_EQ(seal()._getImageFormat("/nonexistent-dir/scan.bmp", 0, 0, 0), EC_WRITE_FILE_FAIL);
    EXPECT_TRUE(s.traced("-- AutoCutPaperByImg 异常 EC_WRITE_FILE_FAIL"));
    EXPECT_EQ(seal()._getImageFormat(file("scan.nosuchformat").c_str(), 2, 0, 0), EC_WRITE_FILE_FAIL);
}

TEST_F(Photo, NoFrameWithinThirtySecondsWhileTheThreadRunsIsATimeout)
{
    const int64_t t0 = s.clock().monotonicMs();
    EXPECT_EQ(photoDuringRead([&] { return take("late.bmp", 0); }, [] { sim::documentCamera().stallNextRead(31000); }),
              EC_CAPTURE_FAIL);
    EXPECT_GT(s.clock().monotonicMs() - t0, 30000);
    EXPECT_TRUE(s.traced("-- end takephoto 超时, 拍照失败--"));
    EXPECT_FALSE(exists(file("late.bmp")));
    // The camera itself has recovered.
    EXPECT_EQ(seal()._checkVideoState(), 1);
    EXPECT_EQ(take("next.bmp", 2), EC_OK);
}

TEST_F(Photo, AThreadThatEndsDuringTheWaitIsReopenedOnce)
{
    // The thread's own reopen after the stall fails, the request's succeeds.
    auto stallAndFailOpens = [](int opens) {
        return [opens] {
            sim::documentCamera().failNextOpens(opens);
            sim::documentCamera().stallNextRead(8000);
        };
    };
    EXPECT_EQ(photoDuringRead([&] { return take("again.bmp", 0); }, stallAndFailOpens(1)), EC_OK);
    EXPECT_EQ(doc().opens(), 2);
    EXPECT_TRUE(s.traced("-- takephoto 采集线程已退出, 重新打开摄像头--"));
    EXPECT_TRUE(exists(file("again.jpg")));
    EXPECT_EQ(seal()._checkVideoState(), 1);

    // Both fail: -205 after the reopen line, without a time-out line.
    EXPECT_EQ(photoDuringRead([&] { return take("never.bmp", 0); }, stallAndFailOpens(2)), EC_CAPTURE_FAIL);
    EXPECT_EQ(s.tracedCount("-- takephoto 采集线程已退出, 重新打开摄像头--"), 2u);
    EXPECT_FALSE(s.traced("-- end takephoto 超时, 拍照失败--"));
    EXPECT_EQ(seal()._checkVideoState(), 2);
}

}  // namespace
}  // namespace stampctl::test
