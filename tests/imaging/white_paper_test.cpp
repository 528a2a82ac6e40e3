// The blank-area check on the last cut picture, directly and through the export.
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"
#include "tests/imaging/imaging_fixture.h"

namespace stampctl::test {
namespace {

class BlankCheck : public ImagingTest {
protected:
    // A white cut picture with `inkPixels` black pixels in its top-left 100 x 100 box.
    void cutWithInk(int inkPixels)
    {
        cv::Mat cut(400, 600, CV_8UC3, cv::Scalar::all(240));
        for (int i = 0; i < inkPixels; ++i) cut.at<cv::Vec3b>(i / 100, i % 100) = cv::Vec3b(10, 10, 10);
        m_cut.picture = cut;
    }
};

TEST_F(BlankCheck, ShareOfDarkPixelsAgainstTheRate)
{
    cutWithInk(0);
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 0, 0, 160, 160, 0.018f), 0);
    EXPECT_TRUE(traced("IsWhitePaper dPer:0.000000, return 0"));

    cutWithInk(300);  // 3 % of the box
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 0, 0, 100, 100, 0.018f), 1);
    cutWithInk(180);  // exactly the rate
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 0, 0, 100, 100, static_cast<float>(18 / 1000.0)), 0);
    cutWithInk(181);
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 0, 0, 100, 100, static_cast<float>(18 / 1000.0)), 1);
    // The box's corner is the point: the same ink just left of and above a box is not counted.
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 100, 50, 100, 100, 0.018f), 0);
}

TEST_F(BlankCheck, NoPictureOrABoxLeavingItCannotBeChecked)
{
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 0, 0, 160, 160, 0.018f), 2);
    EXPECT_TRUE(traced("IsWhitePaper m_MatCutPic.empty"));
    cutWithInk(0);
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 441, 0, 160, 160, 0.018f), 2);  // one pixel past the right edge
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 440, 240, 160, 160, 0.018f), 0);
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 0, -1, 160, 160, 0.018f), 2);
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 0, 0, 0, 160, 0.018f), 2);
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 0x7fffff00, 0, 0x1000, 160, 0.018f), 2);
}

TEST_F(BlankCheck, ExportUsesTheConfiguredBoxOnTheLastPhoto)
{
    EXPECT_EQ(isWhitePaper(0, 0), 2);  // no photo since start
    EXPECT_TRUE(traced("IsWhitePaper m_MatCutPic.empty"));

    sim::PaperPhoto layout;
    layout.print = {{{400, 400, 800, 400}}};
    ASSERT_TRUE(img()->AutoCutPaperByImg(sim::drawPaperPhoto(layout), "photo", path("cut/p.jpg").c_str(), nullptr, 0, 0, m_cut));
    CSeal::Instance()->storeCut(m_cut);
    EXPECT_EQ(isWhitePaper(450, 450), 1);    // the default 160 x 160 box on the printed lines
    EXPECT_EQ(isWhitePaper(1500, 1200), 0);  // blank paper
    EXPECT_EQ(isWhitePaper(2700, 10), 2);    // past the sheet's right edge

    // A picture the check cannot read is the guard's business, not the caller's crash.
    m_cut.picture = cv::Mat(200, 200, CV_8UC2, cv::Scalar::all(0));
    CSeal::Instance()->storeCut(m_cut);
    EXPECT_EQ(isWhitePaper(0, 0), -602);
    EXPECT_TRUE(traced("===== isWhitePaper 异常====="));
}

}  // namespace
}  // namespace stampctl::test
