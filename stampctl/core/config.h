// The settings of one machine edition, as read from "<base>/<edition>.ini".
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace stampctl {

constexpr uint16_t kMotionUnset = 0xFFFF;  // a motion key the file does not configure
constexpr int kMotionKeyCount = 12;

// Motion keys in the order the machine's parameter block takes them.
extern const char* const kMotionKeys[kMotionKeyCount];

// The switches (before_print, seal_to_qfz, ...) are on only where the file says exactly "yes".
struct SealConfig {
    // Section "Config" / "Config_210": written into the machine by ExeConfig.
    uint16_t motion[kMotionKeyCount];

    // Section OV_STAMP.
    bool before_print = true;
    int16_t before_print_sleep = 500;
    int16_t paper_max = 0;
    bool seal_to_qfz = false;
    bool seal_to_qfz_180 = false;
    bool checkBing = false;
    int16_t print_error_sleep = 2000;
    int16_t close_paper_door_sleep = 1000;
    int16_t seal_dx = -15;
    int16_t seal_dy = 0;
    bool check_print_pos_allow = false;

    // Section CAM_USB.
    int16_t JpgRar = 80;
    int16_t DPI = 235;
    int16_t CutEzh = 60;
    bool bz_check_open = false;
    int16_t bz_width = 160;
    int16_t bz_height = 160;
    int16_t bz_black_rate = 18;

    SealConfig();
    // Replaces out-of-range values as the machine's documentation prescribes.
    void applyLimits();
};

// One reading of a file: the settings, and each switch as the file wrote it, which is what the
// summary trace shows ("Yes" is off, yet traced as "Yes").
struct ConfigReading {
    SealConfig settings;
    std::string before_print = "yes";
    std::string seal_to_qfz = "no";
    std::string seal_to_qfz_180 = "no";
    std::string checkBing = "no";
    std::string check_print_pos_allow = "no";
    std::string bz_check_open = "no";
};

// Reads `path` from the defaults up (a key missing now is back at its default) and writes the
// configuration trace lines. `motionSection` is "Config" or "Config_210".
ConfigReading readConfigFile(const std::string& path, const char* motionSection);

// The three summary lines with the values now in force.
void traceConfigSummary(const ConfigReading& reading);

// The configuration in force. A connect replaces it whole while operations on other threads go
// on: each takes one snapshot and keeps it throughout, so none sees part of one file and part of
// the next.
class ConfigStore {
public:
    std::shared_ptr<const SealConfig> current() const;
    void replace(const SealConfig& next);

private:
    mutable std::mutex m_lock;
    std::shared_ptr<const SealConfig> m_current = std::make_shared<const SealConfig>();
};

}  // namespace stampctl
