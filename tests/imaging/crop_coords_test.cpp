// The crop and its files, the conversions between cut picture, photo and millimetres, and the
// blank-area check on a cut picture.

#include "tests/imaging/imaging_fixture.h"

namespace stampctl::test {
namespace {

std::string jpeg(const cv::Mat& picture, const std::vector<int>& params)
{
    std::vector<uchar> bytes;
    cv::imencode(".jpg", picture, bytes, params);
    return {bytes.begin(), bytes.end()};
}

TEST_F(ImagingTest, CutIsWrittenAtTheConfiguredQualityAndTheSecondCopyAtTheDefaultOrFromAFile)
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

    const std::string photoPath = path("cut/photo.png");
    cv::imwrite(photoPath, photo);
    EXPECT_TRUE(img()->AutoCutPaper(photoPath.c_str(), cut.c_str(), 0, m_cut));
    EXPECT_TRUE(img()->IsA4JpgOk(m_cut, m_cut.paper.height, m_cut.paper.width));

    EXPECT_FALSE(img()->AutoCutPaper(path("missing.jpg").c_str(), cut.c_str(), 0, m_cut));
    EXPECT_FALSE(img()->AutoCutPaper(nullptr, cut.c_str(), 0, m_cut));
    // A window reaching past the photo keeps the photo's last column and row.
    ASSERT_TRUE(img()->AutoCutPaperByImg(photo, "m", cut.c_str(), nullptr, 300, 0, m_cut));
    EXPECT_EQ(m_cut.picture.size(), photo.size());
    EXPECT_EQ(cv::norm(m_cut.picture, photo, cv::NORM_INF), 0);
    // A path no writer understands is the image library's error, left to the photo request.
    EXPECT_THROW(img()->AutoCutPaperByImg(photo, "x", nullptr, nullptr, 0, 0, m_cut), cv::Exception);
}

TEST_F(ImagingTest, PortraitSizeCheckIncludesBothEndsAndMillimetresBecomePixelsOfTheSheet)
{
    int x = 297, y = 210;
    m_cut.MM2Pixel(x, y);  // no sheet measured yet
    EXPECT_EQ(cv::Point(x, y), cv::Point(2732, 1922));
    // A margin gives a fixed centred window: nominal A4 at 10.
    const cv::Mat bin(2448, 3264, CV_8UC1, cv::Scalar(0));
    ASSERT_TRUE(img()->MakePaperArea(bin, 100, m_cut));
    EXPECT_EQ(m_cut.paper, cv::Rect(160, 153, 2945, 2143));
    ASSERT_TRUE(img()->MakePaperArea(bin, 10, m_cut));
    EXPECT_EQ(m_cut.paper, cv::Rect(250, 243, 2765, 1963));
    // Width against 1943 * [0.9, 1.1] = [1748, 2137], height against 2745 * [0.9, 1.1] = [2470, 3019].
    EXPECT_TRUE(img()->IsA4JpgOk(m_cut, 1748, 2470));
    EXPECT_TRUE(img()->IsA4JpgOk(m_cut, 2137, 3019));
    EXPECT_FALSE(img()->IsA4JpgOk(m_cut, 1747, 2745));
    EXPECT_FALSE(img()->IsA4JpgOk(m_cut, 1943, 3020));
    x = 297, y = 210;
    EXPECT_TRUE(m_cut.MM2Pixel(x, y));
    EXPECT_EQ(cv::Point(x, y), cv::Point(2745, 1943));
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
    // clang-format off
    const Row table[] = {
        {"0", 90, {2000 - 40, 30}},  {"0", 180, {2000 - 30, 1500 - 40}}, {"0", 270, {40, 1500 - 30}},
        {"0", 0, {30, 40}},          {"90", 45, {30, 40}},               {"270", 0, {40, 1500 - 30}},
        {"270", 90, {30, 40}},       {"270", 180, {2000 - 40, 30}},      {"270", 270, {2000 - 30, 1500 - 40}},
    };
    // clang-format on
    for (const Row& row : table) {
        int x = 30, y = 40;
        m_cut.ConvertPointBaseLeftTop(x, y, row.angle, row.orientation);
        EXPECT_EQ(cv::Point(x, y), row.out) << row.orientation << " " << row.angle;
    }
    // Without a found sheet no point moves.
    m_cut.paperFound = false;
    int x = 30, y = 40;
    m_cut.ConvertXYtoSrcPic(x, y);
    m_cut.ConvertPointBaseLeftTop(x, y, 90, "0");
    EXPECT_EQ(cv::Point(x, y), cv::Point(30, 40));
}

TEST_F(ImagingTest, BlankCheckWeighsTheShareOfDarkPixelsAgainstTheRateInsideThePicture)
{
    // A white cut picture with `ink` black pixels in its top-left 100 x 100 box.
    const auto cutWithInk = [&](int ink) {
        m_cut.picture = cv::Mat(400, 600, CV_8UC3, cv::Scalar::all(240));
        for (int i = 0; i < ink; ++i) m_cut.picture.at<cv::Vec3b>(i / 100, i % 100) = cv::Vec3b(10, 10, 10);
    };
    EXPECT_EQ(img()->IsWhitePaper(m_cut, 0, 0, 160, 160, 0.018f), 2);  // no picture yet
    const float rate = static_cast<float>(18 / 1000.0);
    // clang-format off
    for (auto [ink, x, y, verdict] : {std::tuple{0, 0, 0, 0}, {300, 0, 0, 1}, {180, 0, 0, 0}, {181, 0, 0, 1},
                                      {181, 100, 50, 0}}) {  // exactly the rate is blank; ink left of and above a box is not in it
        // clang-format on
        cutWithInk(ink);
        EXPECT_EQ(img()->IsWhitePaper(m_cut, x, y, 100, 100, rate), verdict) << ink << " at " << x << "," << y;
    }
    // A box that leaves the picture cannot be checked.
    for (auto [x, y, w, verdict] :
         {std::tuple{441, 0, 160, 2}, {440, 240, 160, 0}, {0, -1, 160, 2}, {0, 0, 0, 2}, {0x7fffff00, 0, 0x1000, 2}})
        EXPECT_EQ(img()->IsWhitePaper(m_cut, x, y, w, 160, 0.018f), verdict) << x << "," << y << " " << w;
}

}  // namespace
}  // namespace stampctl::test
