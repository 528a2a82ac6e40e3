// Configuration: defaults, limits, exact key names, rereading, files from other tools.
#include <gtest/gtest.h>

#include "stampctl/imaging/img_help.h"
#include "stampctl/seal.h"
#include "tests/support/test_env.h"

using namespace stampctl;
using namespace stampctl::test;

namespace {

class ConfigTest : public ::testing::Test {
protected:
    TempBaseDir base;
    CSeal* seal = CSeal::Instance();

    const SealConfig& read(const std::string& ini)
    {
        base.write("ywb.ini", ini);
        seal->ReadIni("ywb");
        return seal->config();
    }
};

TEST_F(ConfigTest, DefaultsWithoutAFile)
{
    const SealConfig& c = seal->config();
    for (uint16_t value : c.motion) EXPECT_EQ(value, 0xFFFF);
    EXPECT_EQ(c.before_print, "yes");
    EXPECT_EQ(c.before_print_sleep, 500);
    EXPECT_EQ(c.paper_max, 0);
    EXPECT_EQ(c.seal_to_qfz, "no");
    EXPECT_EQ(c.checkBing, "no");
    EXPECT_EQ(c.print_error_sleep, 2000);
    EXPECT_EQ(c.close_paper_door_sleep, 1000);
    EXPECT_EQ(c.seal_dx, -15);
    EXPECT_EQ(c.seal_dy, 0);
    EXPECT_EQ(c.JpgRar, 80);
    EXPECT_EQ(c.DPI, 235);
    EXPECT_EQ(c.CutEzh, 60);
    EXPECT_EQ(c.bz_check_open, "no");
    EXPECT_EQ(c.bz_width, 160);
    EXPECT_EQ(c.bz_black_rate, 18);
    EXPECT_EQ(CImgHelp::Instance()->jpgRar(), 80);
    EXPECT_EQ(CImgHelp::Instance()->cutEzh(), 60u);

    const std::string path = base.path() + "/ywb.ini";
    EXPECT_TRUE(traced(base.path(), "=== " + path + " , szSec:Config ==="));
    EXPECT_TRUE(traced(base.path(),
                       "==seal_deep:-1, seal_down_sleep:-1, seal_hold_sleep:-1, seal_oil_deep:-1,   "
                       "seal_oil_side_pos:-1, seal_oil_hold_hight:-1, seal_oil_down_sleep:-1, "
                       "seal_oil_sleep:-1, seal_qf_deep:-1, seal_qf_cb_go:-1, seal_qf_cb_back_go:-1==="));
    EXPECT_TRUE(traced(base.path(),
                       "== before_print:yes, before_print_sleep:500, paper_max:0, seal_to_qfz:no, "
                       "seal_to_qfz_180:no, checkBing:no =="));
    EXPECT_TRUE(traced(base.path(),
                       "== print_error_sleep:2000, close_paper_door_sleep:1000, seal_dx:-15, seal_dy:0, "
                       "check_print_pos_allow:no, JpgRar:80, DPI:235, CutEzh:60 =="));
}

TEST_F(ConfigTest, LimitsAtTheirEdges)
{
    const auto& low = read("[OV_STAMP]\nbefore_print_sleep=-5\nseal_dx=-50\nseal_dy=51\n"
                           "print_error_sleep=70000\nclose_paper_door_sleep=5001\n"
                           "[CAM_USB]\nJpgRar=-1\nDPI=500\nCutEzh=256\n");
    EXPECT_EQ(low.before_print_sleep, 0);
    EXPECT_EQ(low.seal_dx, -50);
    EXPECT_EQ(low.seal_dy, 0);
    EXPECT_EQ(low.print_error_sleep, 4464) << "stored as its low 16 bits, then below the limit";
    EXPECT_EQ(low.close_paper_door_sleep, 5000);
    EXPECT_EQ(low.JpgRar, 80);
    EXPECT_EQ(low.DPI, 500);
    EXPECT_EQ(low.CutEzh, 60);

    const auto& high = read("[OV_STAMP]\nbefore_print_sleep=2500\nseal_dx=51\nprint_error_sleep=15001\n"
                            "[CAM_USB]\nJpgRar=100\nDPI=501\nCutEzh=255\n");
    EXPECT_EQ(high.before_print_sleep, 2000);
    EXPECT_EQ(high.seal_dx, 0);
    EXPECT_EQ(high.print_error_sleep, 15000);
    EXPECT_EQ(high.JpgRar, 100);
    EXPECT_EQ(high.DPI, 235);
    EXPECT_EQ(high.CutEzh, 255);
    EXPECT_EQ(CImgHelp::Instance()->jpgRar(), 100);
    EXPECT_EQ(CImgHelp::Instance()->cutEzh(), 255u);
}

TEST_F(ConfigTest, KeyNamesAreExactButEveryMotionKeyIsTraced)
{
    const auto& c = read("[Config]\nSeal_Deep=7\nseal_deep=9\nseal_qf_cb_back_go=12\nmystery=abc\n"
                         "[OV_STAMP]\nSeal_Dx=3\nbefore_print=Yes\n");
    EXPECT_EQ(c.motion[0], 9);
    EXPECT_EQ(c.motion[11], 12);
    EXPECT_EQ(c.seal_dx, -15);
    EXPECT_EQ(c.before_print, "Yes");
    EXPECT_TRUE(traced(base.path(), "==11= key:Seal_Deep, value:7 ==="));
    EXPECT_TRUE(traced(base.path(), "==11= key:mystery, value:abc ==="));
    EXPECT_TRUE(traced(base.path(), "==11= key:seal_deep, value:9 ==="));
}

TEST_F(ConfigTest, NumbersThatAreNotNumbersReadAsZero)
{
    const auto& c = read("[Config]\nseal_deep=deep\n[OV_STAMP]\nseal_dx=abc\n[CAM_USB]\nbz_width=12ab\n");
    EXPECT_EQ(c.motion[0], 0);
    EXPECT_EQ(c.seal_dx, 0);
    EXPECT_EQ(c.bz_width, 0);
}

TEST_F(ConfigTest, AKeyGoneFromTheFileReturnsToItsDefault)
{
    EXPECT_EQ(read("[OV_STAMP]\nseal_dx=20\ncheckBing=yes\n[Config]\nseal_deep=300\n").seal_dx, 20);
    const auto& again = read("[OV_STAMP]\ncheckBing=yes\n");
    EXPECT_EQ(again.seal_dx, -15);
    EXPECT_EQ(again.motion[0], 0xFFFF);
    EXPECT_EQ(again.checkBing, "yes");
}

TEST_F(ConfigTest, FilesWrittenByOtherToolsReadTheSame)
{
    const auto& c = read("; written by hand\r\n"
                         "[OV_STAMP]\r\n"
                         "  before_print = \"no\"  \r\n"
                         "# another comment\r\n"
                         "seal_to_qfz_180=\"yes\"\r\n"
                         "seal_dy = 12\r\n"
                         "\r\n"
                         "[CAM_USB]\r\n"
                         "bz_check_open = yes\r\n"
                         "bz_black_rate=\"25\"\r\n");
    EXPECT_EQ(c.before_print, "no");
    EXPECT_EQ(c.seal_to_qfz_180, "yes");
    EXPECT_EQ(c.seal_dy, 12);
    EXPECT_EQ(c.bz_check_open, "yes");
    EXPECT_EQ(c.bz_black_rate, 25);
}

TEST_F(ConfigTest, EditionChoosesTheFile)
{
    base.write("xzb.ini", "[OV_STAMP]\nseal_dx=7\n");
    seal->ReadIni("xzb");
    EXPECT_EQ(seal->config().seal_dx, 7);
    seal->ReadIni("ywb");
    EXPECT_EQ(seal->config().seal_dx, -15);
}

}  // namespace
