// The settings of one machine edition, as read from "<base>/<edition>.ini".
#pragma once

#include <cstdint>
#include <string>

namespace stampctl {

constexpr uint16_t kMotionUnset = 0xFFFF;  // a motion key the file does not configure
constexpr int kMotionKeyCount = 12;

// Motion keys in the order the machine's parameter block takes them.
extern const char* const kMotionKeys[kMotionKeyCount];

struct SealConfig {
    // Section "Config" / "Config_210": written into the machine by ExeConfig.
    uint16_t motion[kMotionKeyCount];

    // Section OV_STAMP.
    std::string before_print = "yes";
    int16_t before_print_sleep = 500;
    int16_t paper_max = 0;
    std::string seal_to_qfz = "no";
    std::string seal_to_qfz_180 = "no";
    std::string checkBing = "no";
    int16_t print_error_sleep = 2000;
    int16_t close_paper_door_sleep = 1000;
    int16_t seal_dx = -15;
    int16_t seal_dy = 0;
    std::string check_print_pos_allow = "no";

    // Section CAM_USB.
    int16_t JpgRar = 80;
    int16_t DPI = 235;
    int16_t CutEzh = 60;
    std::string bz_check_open = "no";
    int16_t bz_width = 160;
    int16_t bz_height = 160;
    int16_t bz_black_rate = 18;

    SealConfig();
    // Replaces out-of-range values as the machine's documentation prescribes.
    void applyLimits();
};

// Reads `path` into `config` (defaults first, so a key missing now is back at its default) and
// writes the configuration trace lines. `motionSection` is "Config" or "Config_210".
void readConfigFile(const std::string& path, const char* motionSection, SealConfig& config);

// The three summary lines with the values now in force.
void traceConfigSummary(const SealConfig& config);

}  // namespace stampctl
