// Configuration: defaults, limits, exact key names, rereading, files from other tools, a reread
// beside readers on other threads. Which file an edition reads is pinned through the connection.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "stampctl/core/config.h"
#include "tests/support/test_env.h"

using namespace stampctl;

namespace {

class ConfigTest : public ::testing::Test {
protected:
    test::TempBaseDir base;

    ConfigReading reading() { return readConfigFile(base.file("ywb.ini"), "Config"); }
    SealConfig read(const std::string& ini)
    {
        base.write("ywb.ini", ini);
        return reading().settings;
    }
};

TEST_F(ConfigTest, DefaultsWithoutAFile)
{
    const SealConfig c = reading().settings;
    for (uint16_t value : c.motion) EXPECT_EQ(value, 0xFFFF);
    EXPECT_EQ(std::tuple(c.before_print, c.seal_to_qfz, c.checkBing, c.bz_check_open),
              std::tuple(true, false, false, false));
    EXPECT_EQ((std::vector<int>{c.before_print_sleep, c.paper_max, c.print_error_sleep, c.close_paper_door_sleep,
                                c.seal_dx, c.seal_dy, c.JpgRar, c.DPI, c.CutEzh, c.bz_width, c.bz_black_rate}),
              (std::vector<int>{500, 0, 2000, 1000, -15, 0, 80, 235, 60, 160, 18}));
}

struct Limit {
    int16_t SealConfig::*field;
    int expected;
};
// Each value on both sides of its limit, over three files (QSettings may keep a file it has read
// when a rewrite keeps its size within the same second, so the files differ in size). Numbers are
// kept as their low 16 bits first.
// clang-format off
const std::pair<const char*, std::vector<Limit>> kFiles[] = {
    {"[OV_STAMP]\nbefore_print_sleep=-5\nseal_dx=-50\nseal_dy=-51\nprint_error_sleep=70000\n"
     "close_paper_door_sleep=5001\n[CAM_USB]\nJpgRar=-1\nDPI=500\nCutEzh=256\nbz_width=12ab\n",
     {{&SealConfig::before_print_sleep, 0}, {&SealConfig::seal_dx, -50}, {&SealConfig::seal_dy, 0},
      {&SealConfig::print_error_sleep, 4464}, {&SealConfig::close_paper_door_sleep, 5000}, {&SealConfig::JpgRar, 80},
      {&SealConfig::DPI, 500}, {&SealConfig::CutEzh, 60}, {&SealConfig::bz_width, 160}}},
    {"[OV_STAMP]\nbefore_print_sleep=2500\nseal_dx=51\nprint_error_sleep=15001\n[CAM_USB]\nJpgRar=100\nDPI=501\nCutEzh=-1\n",
     {{&SealConfig::before_print_sleep, 2000}, {&SealConfig::seal_dx, 0}, {&SealConfig::print_error_sleep, 15000},
      {&SealConfig::JpgRar, 100}, {&SealConfig::DPI, 235}, {&SealConfig::CutEzh, 60}}},
    {"[OV_STAMP]\nbefore_print_sleep=2000\nseal_dx=50\n[CAM_USB]\nCutEzh=255\n",
     {{&SealConfig::before_print_sleep, 2000}, {&SealConfig::seal_dx, 50}, {&SealConfig::CutEzh, 255}}},
};
// clang-format on

TEST_F(ConfigTest, LimitsAtTheirEdges)
{
    for (const auto& [ini, limits] : kFiles) {
        const SealConfig c = read(ini);
        for (const Limit& l : limits) EXPECT_EQ(c.*(l.field), l.expected) << ini;
    }
}

TEST_F(ConfigTest, KeyNamesAreExactAndAKeyGoneReturnsToItsDefault)
{
    base.write("ywb.ini",
               "[Config]\nSeal_Deep=7\nseal_deep=deep\nseal_qf_cb_back_go=12\nmystery=abc\n"
               "[OV_STAMP]\nSeal_Dx=3\nbefore_print=Yes\ncheckBing=yes\nseal_to_qfz=\n");
    const ConfigReading r = reading();
    traceConfigSummary(r);
    const SealConfig& c = r.settings;
    EXPECT_EQ(c.motion[0], 0xFFFF);
    EXPECT_EQ(c.motion[11], 12);
    EXPECT_EQ(c.seal_dx, -15);
    // Only "yes" switches on; the summary still shows the text as written.
    EXPECT_EQ(std::tuple(c.before_print, c.checkBing, c.seal_to_qfz), std::tuple(false, true, false));
    EXPECT_EQ(test::tracedLines(base.path(),
                                "== before_print:Yes, before_print_sleep:500, paper_max:0, "
                                "seal_to_qfz:, seal_to_qfz_180:no, checkBing:yes =="),
              1);

    const auto& again = read("[OV_STAMP]\nseal_dy=3\n");
    EXPECT_EQ(again.motion[11], 0xFFFF);
    EXPECT_EQ(std::tuple(again.before_print, again.checkBing), std::tuple(true, false));
    EXPECT_EQ(again.seal_dy, 3);
}

TEST_F(ConfigTest, OtherToolsFilesAndValuesThatAreNoWholeNumber)
{
    const auto& hand = read(
        "; written by hand\r\n[OV_STAMP]\r\n  before_print = \"no\"  \r\n# another comment\r\n"
        "seal_to_qfz_180=\"yes\"\r\nseal_dy = 12\r\n\r\n[CAM_USB]\r\nbz_check_open = yes\r\n"
        "bz_black_rate=\"25\"\r\n");
    EXPECT_EQ(std::tuple(hand.before_print, hand.seal_to_qfz_180, hand.bz_check_open), std::tuple(false, true, true));
    EXPECT_EQ(hand.seal_dy, 12);
    EXPECT_EQ(hand.bz_black_rate, 25);

    // Values that are no whole number are absent; zero picture settings are their defaults.
    const auto& c = read(
        "[Config]\nseal_deep=abc\nseal_down_sleep=1, 2\nseal_hold_sleep=99999999999999999999\n"
        "seal_oil_deep=-70000\n[OV_STAMP]\nseal_dx=\n[CAM_USB]\nJpgRar=0\nDPI=0\nCutEzh=0\n");
    EXPECT_EQ(std::vector<int>(c.motion, c.motion + 4), (std::vector<int>{0xFFFF, 0xFFFF, 0xFFFF, 0xEE90}));
    EXPECT_EQ((std::vector<int>{c.seal_dx, c.JpgRar, c.DPI, c.CutEzh}), (std::vector<int>{-15, 80, 235, 60}));
    const auto traced = [&](const std::string& text) { return test::tracedLines(base.path(), text); };
    for (const char* value : {"abc", "1, 2", "99999999999999999999"})
        EXPECT_EQ(traced(std::string("value:") + value + " is not a whole number"), 1) << value;

    // Saved as UTF-16 by an editor: said so, as for any file that cannot be read.
    std::string utf16 = "\xFF\xFE";
    for (char ch : std::string("[OV_STAMP]\r\nseal_dy=3\r\n")) utf16 += std::string{ch, '\0'};
    EXPECT_EQ(read(utf16).seal_dy, 0);
    EXPECT_EQ(traced("ywb.ini cannot be read (not text"), 1);
}

// A connect replaces the configuration while other threads work: each snapshot is one file
// whole, and one taken before the replacement stays as it was.
TEST_F(ConfigTest, AReadersSnapshotIsOneFileWhole)
{
    const SealConfig ywb = read("[OV_STAMP]\nseal_dx=11\nseal_dy=12\nbefore_print=no\n[CAM_USB]\nbz_width=13\n");
    const SealConfig xzb = read("[OV_STAMP]\nseal_dx=21\nseal_dy=22\ncheckBing=yes\n[CAM_USB]\nbz_width=23\n");
    ConfigStore store;
    store.replace(ywb);
    const std::shared_ptr<const SealConfig> kept = store.current();
    const auto whole = [](const SealConfig& c) {
        const bool ywb = c.seal_dx == 11 && c.seal_dy == 12 && !c.before_print && !c.checkBing && c.bz_width == 13;
        const bool xzb = c.seal_dx == 21 && c.seal_dy == 22 && c.before_print && c.checkBing && c.bz_width == 23;
        return ywb || xzb;
    };
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done)
            if (!whole(*store.current())) ++torn;
    });
    for (int i = 0; i < 20; ++i) store.replace(i % 2 ? xzb : ywb);  // ends on the other file
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(std::tuple(kept->seal_dx, kept->bz_width, kept->before_print), std::tuple(11, 13, false));
}

}  // namespace
