// Automatic calibration on the simulated machine: the sheet is really stamped, photographed and
// searched, and the calibration it yields really moves the stamps.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <set>

#include <opencv2/imgcodecs.hpp>

#include "stampctl/calibration/autocheck.h"
#include "stampctl/imaging/img_help.h"
#include "stampctl/sim/paper_board.h"
#include "stampctl/sim/sim_camera.h"
#include "stampctl/sim/stamp_scripts.h"
#include "tests/support/sim_session.h"

namespace stampctl::test {
namespace {

sim::PaperBoard& board() { return sim::paperBoard(); }

// The calibration the machine holds, as GetAllJZInfo reads it back.
struct Stored {
    short longSide = 0, shortSide = 0, cx[4] = {}, cy[4] = {}, ox[24] = {}, oy[24] = {};
    int result = GetAllJZInfo(&longSide, &shortSide, cx, cy, ox, oy);
};
sim::SimCamera& camera() { return sim::documentCamera(); }

class AutoCalibration : public ::testing::Test {
protected:
    void SetUp() override
    {
        camera().resetToDefault();
        board().resetToDefault();
        board().setPrintMm({});  // a plain white sheet
        ASSERT_EQ(s.connect(), EC_OK);
    }
    void TearDown() override { closeVideoCap(); }

    int calibrate(std::set<int> photosensitive = {})
    {
        short flags[6] = {};
        for (int k : photosensitive) flags[k - 1] = 1;
        char text[1024];
        const int result = AutoCheckSeal(text, flags);
        m_msg = text;
        return result;
    }
    void onlySeals(std::set<int> seals)
    {
        for (int n = 1; n <= 6; ++n) s.machine().setSlot(n, seals.count(n) > 0, s.machine().slot(n).rfid);
    }
    void expectFailure(const char* message)
    {
        EXPECT_EQ(calibrate(), -1);
        EXPECT_EQ(m_msg, message);
    }
    std::string firstLine() const { return m_msg.substr(0, m_msg.find("\r\n")); }

    SimSession s;
    std::string m_msg;
};

// Seal 4's check stamp fails twice (the stamp and its retry): seals 1 and 3 are calibrated.
TEST_F(AutoCalibration, EachSealStampsWithItsOwnFlagAndAFailedCheckStampLeavesItsSealOut)
{
    onlySeals({1, 3, 4});
    sim::StampScript usual{{{sim::StatusRecord{}, 500, 0}}, true, true};
    usual.phases[0].status.stampStatus = sim::kBusy;
    for (int i = 0; i < 5; ++i) s.machine().scriptNextStamp(usual);
    for (int i = 0; i < 2; ++i) s.machine().scriptNextStamp(sim::stamp_scripts::faultThenReset());
    ASSERT_EQ(calibrate({1}), 0) << m_msg;
    EXPECT_EQ(firstLine(), "1、3号章校准成功");
    // As the machine took them: the edition's head shift of -15 mm on X included.
    // Each at 0 degrees, announced as a calibration stamp (1), seal 1 photosensitive, seal 3 not.
    const std::vector<std::array<int, 6>> expected = {{1, 7000, 3500, 0, 1, 1},
                                                      {1, 21500, 3500, 0, 1, 1},
                                                      {1, 7000, 27000, 0, 1, 1},
                                                      {1, 21500, 27000, 0, 1, 1},
                                                      {3, 7000, 15000, 0, 1, 0}};
    const std::vector<sim::StampRequest> made = s.machine().stamps();
    ASSERT_EQ(made.size(), 7u);
    std::vector<std::array<int, 6>> got;
    for (size_t i = 0; i < 5; ++i)
        got.push_back({made[i].seal, made[i].x, made[i].y, made[i].angle, made[i].stampStyle, made[i].style});
    EXPECT_EQ(got, expected);
}

TEST_F(AutoCalibration, MeasuredMissBecomesTheSealsCorrectionAtEveryAngleAndAnImplausibleOneIsNot)
{
    onlySeals({1, 2, 3});
    board().setSealOffsetMm(3, {1.5, -0.5});  // lands at (86.5, 149.5)
    ASSERT_EQ(calibrate(), 0) << m_msg;
    EXPECT_EQ(firstLine(), "1、2、3号章校准成功");
    const Stored first;
    ASSERT_EQ(first.result, EC_OK);
    for (int a = 0; a < 4; ++a) {
        EXPECT_NEAR(first.ox[8 + a], -150, 10) << a;  // hundredths, not whole millimetres
        EXPECT_NEAR(first.oy[8 + a], 50, 10) << a;
        EXPECT_NEAR(first.ox[4 + a], 0, 10) << a;  // seal 2 landed where it was sent
    }
    for (int i = 0; i < 4; ++i)  // the circles are where seal 1 landed
        EXPECT_LT(std::hypot(first.cx[i] - sim::kBoardMarks[i].turnedX, first.cy[i] - sim::kBoardMarks[i].turnedY), 4)
            << i;
    EXPECT_NEAR(first.shortSide, 1922, 30);

    // 6.4 mm off (4.5 along each axis) is no mechanical offset: seal 3 keeps what it had, seal 2
    // is calibrated anew.
    board().setSealOffsetMm(3, {4.5, 4.5});
    board().setSealOffsetMm(2, {1, 1});
    board().laySheet({});
    ASSERT_EQ(calibrate(), 0) << m_msg;
    EXPECT_EQ(firstLine(), "1、2号章校准成功");
    const Stored again;
    for (int a = 0; a < 4; ++a) {
        EXPECT_EQ(again.ox[8 + a], first.ox[8 + a]) << a;
        EXPECT_NEAR(again.ox[4 + a], -100, 10) << a;
    }
}

// Nothing is stamped or written on a sheet that is not a blank calibration sheet: print where
// the circles go is seen before the first stamp.
TEST_F(AutoCalibration, WrongSheetWritesNothing)
{
    board().setPrintMm(sim::fullPagePrintMm());
    expectFailure("校准纸不是空白纸或未放正");
    EXPECT_TRUE(s.machine().stamps().empty());
}

TEST(AutoCheckReport, CameraAdviceFromTheMainCircles)
{
    const bool calibrated[7] = {false, false, true, false, false, true, false};
    const auto report = [&](std::array<CSeal::JZPoint, 4> turned) {
        char text[1024];
        calibration::AutoCheckReport(text, sizeof text, calibrated, turned.data());
        return std::string(text);
    };
    EXPECT_EQ(report({{{100, 580}, {1930, 575}, {104, 2740}, {1935, 2737}}}),
              "1、2、5号章校准成功\r\n"
              "水平向，白纸上边X坐标(104,100), 差值:4, 建议:摄像头逆时针旋转4个像素\r\n"
              "垂直向，白纸右边Y坐标(580,575), 差值:5, 建议:摄像头逆时针旋转5个像素\r\n");
    EXPECT_EQ(report({{{100, 570}, {1930, 575}, {100, 2740}, {1935, 2737}}}),
              "1、2、5号章校准成功\r\n"
              "水平向，白纸上边X坐标(100,100), 差值:0, 建议:不必调整摄像头\r\n"
              "垂直向，白纸右边Y坐标(570,575), 差值:5, 建议:摄像头顺时针旋转5个像素\r\n");
    // The last row 4 % wider than the first: a camera tilted beyond what the crop straightens.
    EXPECT_EQ(report({{{100, 575}, {1930, 575}, {64, 2737}, {1966, 2737}}}),
              "1、2、5号章校准成功\r\n"
              "水平向，白纸上边X坐标(64,100), 差值:36, 建议:摄像头顺时针旋转36个像素\r\n"
              "垂直向，白纸右边Y坐标(575,575), 差值:0, 建议:不必调整摄像头\r\n"
              "摄像头未正对底板(梯形差3.9%), 超出校正范围, 建议:重新安装摄像头\r\n");
}

TEST_F(AutoCalibration, EveryFailureFromARealCause)
{
    camera().setPlugged(false);  // first: once open, the camera stays open
    expectFailure("打开摄像头失败");
    camera().setPlugged(true);
    onlySeals({5, 6});
    expectFailure("未检测到1号主章，无法校准");
    onlySeals({});
    expectFailure("获取卡槽信息未检测到印章");
    onlySeals({1, 2});
    s.refuse(0x0F);  // the slot query
    expectFailure("获取卡槽信息失败");
    EXPECT_TRUE(s.machine().stamps().empty());

    for (int i = 0; i < 2; ++i) s.machine().scriptNextStamp(sim::stamp_scripts::faultThenReset());
    expectFailure("校准失败, 盖章失败");
    EXPECT_EQ(s.machine().stamps().size(), 2u);  // the first point and its retry, nothing more

    const auto before = s.machine().baseBlock();
    const auto rotated = s.machine().rotateBlock();
    camera().deliverEmptyFrames(1 << 20);
    expectFailure("采集图片失败");
    camera().deliverEmptyFrames(0);
    board().removeSheet();
    expectFailure("找圆失败");
    EXPECT_EQ(s.machine().rotateBlock(), rotated);
    board().laySheet({{152.5, 200}, 0});  // too far along Y: the top circles miss it, the rows shift
    expectFailure("找主圆失败");
    board().laySheet({});
    s.refuse(0x12);  // the base block
    expectFailure("保存信息失败，校准失败");
    EXPECT_EQ(s.machine().baseBlock(), before);

    disconnMachine();
    s.machine().setPlugged(false);
    expectFailure("连接印控仪失败");
}

// Seals with their own offsets up to 3 mm, calibrated on a sheet turned as given, then clicked at
// 12 places at every angle. What is left is the fit of the circles and the pixel grid.
// The sheet's turn, the camera's pitch and roll (see sim::cameraTilt), in degrees.
using Placement = cv::Point3d;
class CalibratedAccuracy : public AutoCalibration, public ::testing::WithParamInterface<Placement> {};

TEST_P(CalibratedAccuracy, ClickedStampsLandNearTheClick)
{
    const double turn = GetParam().x, pitch = GetParam().y, roll = GetParam().z;
    const cv::Point2d offsets[6] = {{0, 0}, {2.6, -1.3}, {-2.9, 0.7}, {1.4, 2.8}, {-0.6, -2.4}, {3.0, 1.9}};
    for (int k = 1; k <= 6; ++k) board().setSealOffsetMm(k, offsets[k - 1]);
    board().setCameraTiltDeg(pitch, roll);
    board().laySheet({{152.5, 150}, turn});
    ASSERT_EQ(calibrate(), 0) << m_msg;
    EXPECT_EQ(firstLine(), "1、2、3、4、5、6号章校准成功");

    board().laySheet({{152.5, 150}, turn});  // a fresh sheet, photographed and cut as usual
    ASSERT_EQ(getImageFormat((s.base() + "/cut/click.bmp").c_str(), 0, 0, 0), EC_OK);
    const cv::Size cut = cv::imread(s.base() + "/cut/click.jpg").size();
    double sum = 0, worst = 0;
    int count = 0;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col) {
            const cv::Point click(cvRound(cut.width * (0.12 + 0.76 * col / 3)),
                                  cvRound(cut.height * (0.15 + 0.35 * row)));
            cv::Point src = click;
            s.seal().lastCut().ConvertXYtoSrcPic(src.x, src.y);
            for (int sealNo = 1; sealNo <= 6; ++sealNo)
                for (int angle : {0, 90, 180, 270}) {
                    ASSERT_EQ(manualPrintStart(sealNo, click.x, click.y, angle), EC_OK);
                    const double error = cv::norm(board().pictureToMachine(board().impressionsInPicture().back()) -
                                                  board().pictureToMachine(src));
                    sum += error, worst = std::max(worst, error), ++count;
                }
        }
    // The README's table.
    std::printf("| %+.0f° | %+.0f° / %+.0f° | %.2f | %.2f |\n", turn, pitch, roll, sum / count, worst);
    EXPECT_LT(worst, 0.8);
    EXPECT_LT(sum / count, 0.4);
}

INSTANTIATE_TEST_SUITE_P(SheetTurns, CalibratedAccuracy,
                         ::testing::Values(Placement(0, 0, 0), Placement(1, 0, 0), Placement(-1, 0, 0),
                                           Placement(2, 0, 0), Placement(-2, 0, 0), Placement(3, 0, 0),
                                           Placement(-3, 0, 0), Placement(0, 1, 0), Placement(0, 2, 0),
                                           Placement(0, 0, 1), Placement(0, 0, 2), Placement(0, -2, 0),
                                           Placement(0, 0, -2)));

}  // namespace
}  // namespace stampctl::test
