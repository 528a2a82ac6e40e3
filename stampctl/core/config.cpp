#include "stampctl/core/config.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include "stampctl/core/trace.h"

namespace stampctl {

const char* const kMotionKeys[kMotionKeyCount] = {
    "seal_deep",         "seal_down_sleep",  "seal_hold_sleep",     "seal_oil_deep",
    "seal_oil_side_pos", "seal_oil_row_pos", "seal_oil_hold_hight", "seal_oil_down_sleep",
    "seal_oil_sleep",    "seal_qf_deep",     "seal_qf_cb_go",       "seal_qf_cb_back_go",
};

SealConfig::SealConfig()
{
    for (uint16_t& value : motion) value = kMotionUnset;
}

void SealConfig::applyLimits()
{
    if (before_print_sleep < 0) before_print_sleep = 0;
    if (before_print_sleep > 2000) before_print_sleep = 2000;
    if (print_error_sleep > 15000) print_error_sleep = 15000;
    if (close_paper_door_sleep > 5000) close_paper_door_sleep = 5000;
    if (seal_dx < -50 || seal_dx > 50) seal_dx = 0;
    if (seal_dy < -50 || seal_dy > 50) seal_dy = 0;
    // These three are compared as unsigned: a negative value counts as a very large one. None
    // of them means anything at 0 (a DPI of 0 would even divide by zero).
    if (JpgRar == 0 || static_cast<uint16_t>(JpgRar) > 100) JpgRar = 80;
    if (DPI == 0 || static_cast<uint16_t>(DPI) > 500) DPI = 235;
    if (CutEzh == 0 || static_cast<uint16_t>(CutEzh) > 255) CutEzh = 60;
}

namespace {

struct IntKey {
    const char* name;
    int16_t SealConfig::*field;
};
struct TextKey {
    const char* name;
    std::string ConfigReading::*text;
    bool SealConfig::*on;
};

const IntKey kStampInts[] = {
    {"before_print_sleep", &SealConfig::before_print_sleep},
    {"paper_max", &SealConfig::paper_max},
    {"print_error_sleep", &SealConfig::print_error_sleep},
    {"close_paper_door_sleep", &SealConfig::close_paper_door_sleep},
    {"seal_dx", &SealConfig::seal_dx},
    {"seal_dy", &SealConfig::seal_dy},
};
const TextKey kStampTexts[] = {
    {"before_print", &ConfigReading::before_print, &SealConfig::before_print},
    {"seal_to_qfz", &ConfigReading::seal_to_qfz, &SealConfig::seal_to_qfz},
    {"seal_to_qfz_180", &ConfigReading::seal_to_qfz_180, &SealConfig::seal_to_qfz_180},
    {"checkBing", &ConfigReading::checkBing, &SealConfig::checkBing},
    {"check_print_pos_allow", &ConfigReading::check_print_pos_allow, &SealConfig::check_print_pos_allow},
};
const IntKey kCameraInts[] = {
    {"JpgRar", &SealConfig::JpgRar},       {"DPI", &SealConfig::DPI},
    {"CutEzh", &SealConfig::CutEzh},       {"bz_width", &SealConfig::bz_width},
    {"bz_height", &SealConfig::bz_height}, {"bz_black_rate", &SealConfig::bz_black_rate},
};
const TextKey kCameraTexts[] = {
    {"bz_check_open", &ConfigReading::bz_check_open, &SealConfig::bz_check_open},
};

// A value as its text; Qt reads an unquoted "a, b" as a list, which is joined back.
QString valueText(const QVariant& value)
{
    if (value.type() == QVariant::StringList) return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

// A whole number that fits 32 bits, kept as its low 16 bits. Anything else (letters, a list,
// a number too large) would reach the machine as 0: it counts as absent, and the trace says so.
bool low16(const QByteArray& key, const QVariant& value, uint16_t& out)
{
    const QString text = valueText(value);
    bool whole = false;
    const int number = text.trimmed().toInt(&whole, 10);
    if (!whole) {
        TrcWritef(kTraceError, "=== key:%s, value:%s is not a whole number: ignored ===", key.constData(),
                  text.toUtf8().constData());
        return false;
    }
    out = static_cast<uint16_t>(number);
    return true;
}

template <size_t NI, size_t NT>
void readSection(QSettings& ini, const char* section, const IntKey (&ints)[NI], const TextKey (&texts)[NT],
                 ConfigReading& reading)
{
    ini.beginGroup(QString::fromLatin1(section));
    for (const QString& key : ini.childKeys()) {
        const QByteArray name = key.toUtf8();
        const QVariant value = ini.value(key);
        uint16_t number = 0;
        for (const IntKey& k : ints)
            if (name == k.name && low16(name, value, number))
                reading.settings.*(k.field) = static_cast<int16_t>(number);
        for (const TextKey& k : texts)
            if (name == k.name) reading.*(k.text) = valueText(value).toUtf8().toStdString();
    }
    ini.endGroup();
    for (const TextKey& k : texts) reading.settings.*(k.on) = reading.*(k.text) == "yes";
}

void readMotionSection(QSettings& ini, const char* section, SealConfig& config)
{
    ini.beginGroup(QString::fromLatin1(section));
    for (const QString& key : ini.childKeys()) {
        const QByteArray name = key.toUtf8();
        const QVariant value = ini.value(key);
        for (int i = 0; i < kMotionKeyCount; ++i)
            if (name == kMotionKeys[i]) low16(name, value, config.motion[i]);
        TrcWritef(kTraceInfo, "==11= key:%s, value:%s ===", name.constData(), valueText(value).toUtf8().constData());
    }
    ini.endGroup();
}

}  // namespace

void traceConfigSummary(const ConfigReading& r)
{
    const SealConfig& c = r.settings;
    const auto m = [&c](int i) { return static_cast<int>(static_cast<int16_t>(c.motion[i])); };
    TrcWritef(kTraceInfo,
              "==seal_deep:%d, seal_down_sleep:%d, seal_hold_sleep:%d, seal_oil_deep:%d,   "
              "seal_oil_side_pos:%d, seal_oil_hold_hight:%d, seal_oil_down_sleep:%d, "
              "seal_oil_sleep:%d, seal_qf_deep:%d, seal_qf_cb_go:%d, seal_qf_cb_back_go:%d===",
              m(0), m(1), m(2), m(3), m(4), m(6), m(7), m(8), m(9), m(10), m(11));
    TrcWritef(kTraceInfo,
              "== before_print:%s, before_print_sleep:%d, paper_max:%d, seal_to_qfz:%s, "
              "seal_to_qfz_180:%s, checkBing:%s ==",
              r.before_print.c_str(), c.before_print_sleep, c.paper_max, r.seal_to_qfz.c_str(),
              r.seal_to_qfz_180.c_str(), r.checkBing.c_str());
    TrcWritef(kTraceInfo,
              "== print_error_sleep:%d, close_paper_door_sleep:%d, seal_dx:%d, seal_dy:%d, "
              "check_print_pos_allow:%s, JpgRar:%d, DPI:%d, CutEzh:%d ==",
              c.print_error_sleep, c.close_paper_door_sleep, c.seal_dx, c.seal_dy, r.check_print_pos_allow.c_str(),
              c.JpgRar, c.DPI, c.CutEzh);
}

namespace {
// Enough of the file's start to tell text from something else.
constexpr qint64 kTextProbeBytes = 4096;

// A file saved as UTF-16 (with or without its byte-order mark), or anything else with NUL
// bytes in it, reads as no keys at all.
bool readsAsText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return true;  // said elsewhere, or not there
    const QByteArray head = file.read(kTextProbeBytes);
    const bool utf16Mark = head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF");
    return !utf16Mark && !head.contains('\0');
}
}  // namespace

ConfigReading readConfigFile(const std::string& path, const char* motionSection)
{
    ConfigReading reading;
    // Qt reads a file it cannot open as no file at all; say that it was there.
    const QFileInfo file(QString::fromStdString(path));
    if (file.exists() && (file.isDir() || !file.isReadable()))
        TrcWritef(kTraceError, "=== %s cannot be read (%s): defaults in force ===", path.c_str(),
                  file.isDir() ? "a folder" : "no permission");
    else if (file.exists() && !readsAsText(file.filePath()))
        TrcWritef(kTraceError, "=== %s cannot be read (not text, UTF-16?): defaults in force ===", path.c_str());
    QSettings ini(QString::fromStdString(path), QSettings::IniFormat);
    ini.setIniCodec("UTF-8");
    TrcWritef(kTraceInfo, "=== %s , szSec:%s ===", path.c_str(), motionSection);
    readMotionSection(ini, motionSection, reading.settings);
    readSection(ini, "OV_STAMP", kStampInts, kStampTexts, reading);
    readSection(ini, "CAM_USB", kCameraInts, kCameraTexts, reading);
    reading.settings.applyLimits();
    return reading;
}

std::shared_ptr<const SealConfig> ConfigStore::current() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_current;
}

void ConfigStore::replace(const SealConfig& next)
{
    auto fresh = std::make_shared<const SealConfig>(next);
    std::lock_guard<std::mutex> lock(m_lock);
    m_current.swap(fresh);  // the old one goes with `fresh`, after the lock is released
}

}  // namespace stampctl
