// The crop and its files, and the conversions between cut picture, photo and millimetres.
#include <atomic>
#include <cmath>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "stampctl/seal.h"

#include "tests/imaging/imaging_fixture.h"

namespace stampctl::test {
namespace {

std::string jpeg(const cv::Mat& picture, const std::vector<int>& params)
{
    std::vector<uchar> bytes;
    cv::imencode(".jpg", picture, bytes, params);
    return {bytes.begin(), bytes.end()};
}

TEST_F(ImagingTest, CutIsWrittenAtTheConfiguredQualityAndTheSecondCopyAtTheDefault)
{
    sim::PaperPhoto layout;
    layout.print = {{{300, 300, 1200, 400}}};
    const cv::Mat photo = sim::drawPaperPhoto(layout);
    const std::string cut = path("cut/a.jpg"), copy = path("cut/a2.jpg");
    ASSERT_TRUE(img()->AutoCutPaperByImg(photo, "q", cut.c_str(), copy.c_str(), 0, 0, m_cut));
    EXPECT_TRUE(readFile(cut) == jpeg(m_cut.picture, {cv::IMWRITE_JPEG_QUALITY, 80}));
    EXPECT_TRUE(readFile(copy) == jpeg(m_cut.picture, {}));

    ASSERT_TRUE(img()->AutoCutPaperByImg(photo, "q", cut.c_str(), nullptr, 0, 35, m_cut));
    EXPECT_TRUE(readFile(cut) == jpeg(m_cut.picture, {cv::IMWRITE_JPEG_QUALITY, 35}));
    EXPECT_TRUE(traced("<--CImgHelp::AutoCutPaperByImg ltrb_Pixel:0 Return bl:1"));
}

TEST_F(ImagingTest, CutFromAFileAndUnreadableFiles)
{
    sim::PaperPhoto layout;
    const std::string photoPath = path("cut/photo.png"), cut = path("cut/photo.jpg");
    cv::imwrite(photoPath, sim::drawPaperPhoto(layout));
    EXPECT_TRUE(img()->AutoCutPaper(photoPath.c_str(), cut.c_str(), 0, m_cut));
    EXPECT_TRUE(img()->IsA4JpgOk(m_cut, m_cut.paper.height, m_cut.paper.width));

    EXPECT_FALSE(img()->AutoCutPaper(path("missing.jpg").c_str(), cut.c_str(), 0, m_cut));
    EXPECT_TRUE(traced("<--AutoCutPaper AutoCutPaper imread fail = " + path("missing.jpg")));
    EXPECT_FALSE(img()->AutoCutPaper(nullptr, cut.c_str(), 0, m_cut));
    // A path no writer understands is the image library's error, left to the photo request.
    EXPECT_THROW(img()->AutoCutPaperByImg(sim::drawPaperPhoto(layout), "x", nullptr, nullptr, 0, 0, m_cut), cv::Exception);
}

TEST_F(ImagingTest, PortraitSizeCheckIncludesBothEnds)
{
    img()->MakePaperArea(cv::Mat(2448, 3264, CV_8UC1, cv::Scalar(0)), 10, m_cut);  // nominal A4 in pixels
    // Width against 1943 * [0.9, 1.1] = [1748, 2137], height against 2745 * [0.9, 1.1] = [2470, 3019].
    EXPECT_TRUE(img()->IsA4JpgOk(m_cut, 1748, 2470));
    EXPECT_TRUE(img()->IsA4JpgOk(m_cut, 2137, 3019));
    EXPECT_FALSE(img()->IsA4JpgOk(m_cut, 1747, 2745));
    EXPECT_FALSE(img()->IsA4JpgOk(m_cut, 1943, 3020));
    EXPECT_TRUE(traced("IsA4JpgOk error (w:1943, h:3020)(wMin:1748,wMax:2137, hMin:2470,hMax:3019)"));
}

TEST_F(ImagingTest, QuarterTurnIsCounterClockwiseInPlace)
{
    cv::Mat picture(2, 3, CV_8UC1);
    picture.at<uchar>(0, 0) = 1, picture.at<uchar>(0, 1) = 2, picture.at<uchar>(0, 2) = 3;
    picture.at<uchar>(1, 0) = 4, picture.at<uchar>(1, 1) = 5, picture.at<uchar>(1, 2) = 6;
    const std::string file = path("turn.png");
    cv::imwrite(file, picture);
    img()->revolveImg_90(file.c_str());
    const cv::Mat turned = cv::imread(file, cv::IMREAD_UNCHANGED);
    ASSERT_EQ(turned.size(), cv::Size(2, 3));
    const cv::Mat expected = (cv::Mat_<uchar>(3, 2) << 3, 6, 2, 5, 1, 4);
    EXPECT_EQ(cv::norm(turned, expected, cv::NORM_INF), 0);

    img()->revolveImg_90(path("missing.png").c_str());
    EXPECT_TRUE(traced("imread src is NULL(path:" + path("missing.png") + ")"));
}

// The centre of the dark dot near `expected` in `picture`.
cv::Point2f dotCentre(const cv::Mat& picture, cv::Point2f expected)
{
    const cv::Rect around = cv::Rect(cvRound(expected.x) - 40, cvRound(expected.y) - 40, 80, 80) &
                            cv::Rect(0, 0, picture.cols, picture.rows);
    cv::Mat grey;
    cv::cvtColor(picture(around), grey, cv::COLOR_BGR2GRAY);
    const cv::Moments m = cv::moments(grey < 128, true);
    return {static_cast<float>(around.x + m.m10 / m.m00), static_cast<float>(around.y + m.m01 / m.m00)};
}

class CutToPhoto : public ImagingTest, public ::testing::WithParamInterface<double> {};

TEST_P(CutToPhoto, PointOfTheSheetMapsBackToItsPlaceInThePhoto)
{
    sim::PaperPhoto layout;
    layout.angleDeg = GetParam();
    layout.sheetCentre = {1580, 1270};
    const cv::Point2f dotOnSheet(2000, 600);
    layout.impressions = {{dotOnSheet, 12, true}};
    const cv::Mat photo = sim::drawPaperPhoto(layout);
    ASSERT_TRUE(img()->AutoCutPaperByImg(photo, "dot", path("cut/dot.jpg").c_str(), nullptr, 0, 0, m_cut));
    EXPECT_EQ(m_cut.rotated, GetParam() != 0);

    // Where the dot is in the cut picture, found by looking, not by the conversion.
    const cv::Point2f inPhoto = sim::sheetToPhoto(layout, dotOnSheet);
    const cv::Point2f inCut = dotCentre(m_cut.picture, {dotOnSheet.x, dotOnSheet.y});
    int x = cvRound(inCut.x), y = cvRound(inCut.y);
    // The photo point of that whole pixel: the dot's place plus the rounding, turned back.
    const float c = std::cos(m_cut.rotateAngle), s = std::sin(m_cut.rotateAngle);
    const float ox = x - inCut.x, oy = y - inCut.y;
    const cv::Point2f expected(inPhoto.x + ox * c + oy * s, inPhoto.y - ox * s + oy * c);
    m_cut.ConvertXYtoSrcPic(x, y);
    // The conversion truncates: the photo pixel containing the point, whose centre is +0.5.
    EXPECT_NEAR(x + 0.5, expected.x, 1.0);
    EXPECT_NEAR(y + 0.5, expected.y, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Turns, CutToPhoto, ::testing::Values(0.0, 2.0, -3.0));

// A stamp works with the cut it took from the controller while the next photo is being cut and
// stored on another thread; only a stamp asking afterwards sees the new sheet.
TEST_F(ImagingTest, StampKeepsItsCutWhileTheNextPhotoIsCut)
{
    sim::PaperPhoto turned;
    turned.angleDeg = 2.0;
    ASSERT_TRUE(img()->AutoCutPaperByImg(sim::drawPaperPhoto(turned), "first", path("cut/first.jpg").c_str(),
                                         nullptr, 0, 0, m_cut));
    CSeal& seal = *CSeal::Instance();
    seal.storeCut(m_cut);
    const CutResult held = seal.lastCut();
    int x0 = 1500, y0 = 700, w0 = 0, h0 = 0;
    held.ConvertXYtoSrcPic(x0, y0);
    held.GetPaperWH(w0, h0);

    sim::PaperPhoto shifted;
    shifted.sheetCentre = {1500, 1150};
    const cv::Mat next = sim::drawPaperPhoto(shifted);
    std::atomic<bool> stored{false};
    std::thread photo([&] {
        CutResult cut;
        img()->AutoCutPaperByImg(next, "next", path("cut/next.jpg").c_str(), nullptr, 0, 0, cut);
        seal.storeCut(cut);
        stored = true;
    });
    int conversions = 0, moved = 0;
    do {
        int x = 1500, y = 700, w = 0, h = 0;
        held.ConvertXYtoSrcPic(x, y);
        held.GetPaperWH(w, h);
        moved += cv::Point(x, y) != cv::Point(x0, y0) || cv::Size(w, h) != cv::Size(w0, h0);
        ++conversions;
    } while (!stored);
    photo.join();
    EXPECT_GT(conversions, 1);
    EXPECT_EQ(moved, 0);

    const CutResult now = seal.lastCut();
    EXPECT_TRUE(held.rotated);
    EXPECT_FALSE(now.rotated);
    int x = 1500, y = 700;
    now.ConvertXYtoSrcPic(x, y);
    EXPECT_NE(cv::Point(x, y), cv::Point(x0, y0));
}

TEST_F(ImagingTest, SheetOrientationTable)
{
    m_cut.paperFound = true;
    m_cut.paper.width = 2000, m_cut.paper.height = 1500;
    struct Row {
        const char* orientation;
        int angle;
        cv::Point out;
    };
    const Row table[] = {
        {"0", 90, {2000 - 40, 30}},  {"0", 180, {2000 - 30, 1500 - 40}}, {"0", 270, {40, 1500 - 30}},
        {"0", 0, {30, 40}},          {"90", 45, {30, 40}},               {"270", 0, {40, 1500 - 30}},
        {"270", 90, {30, 40}},       {"270", 180, {2000 - 40, 30}},      {"270", 270, {2000 - 30, 1500 - 40}},
    };
    for (const Row& row : table) {
        int x = 30, y = 40;
        m_cut.ConvertPointBaseLeftTop(x, y, row.angle, row.orientation);
        EXPECT_EQ(cv::Point(x, y), row.out) << row.orientation << " " << row.angle;
    }
    EXPECT_TRUE(traced("<--ConvertPointBaseLeftTop ix:30,iy:40,angle:180, m_paper_left_top:270 "
                       "return ix:1960, iy:30, pWidth:2000, pHeight:1500"));

    // Without a found sheet no point moves.
    m_cut.paperFound = false;
    int x = 30, y = 40;
    m_cut.ConvertXYtoSrcPic(x, y);
    m_cut.ConvertPointBaseLeftTop(x, y, 90, "0");
    EXPECT_EQ(cv::Point(x, y), cv::Point(30, 40));
}

TEST_F(ImagingTest, MillimetresToPixelsOfTheSheet)
{
    int x = 297, y = 210;
    m_cut.MM2Pixel(x, y);  // no sheet measured yet
    EXPECT_EQ(cv::Point(x, y), cv::Point(2732, 1922));
    img()->MakePaperArea(cv::Mat(2448, 3264, CV_8UC1, cv::Scalar(0)), 10, m_cut);
    x = 297, y = 210;
    EXPECT_TRUE(m_cut.MM2Pixel(x, y));
    EXPECT_EQ(cv::Point(x, y), cv::Point(2745, 1943));
    EXPECT_TRUE(traced("MM2Pixel in(x:297, y:210), out(x:2745, y:1943)"));
}

}  // namespace
}  // namespace stampctl::test
