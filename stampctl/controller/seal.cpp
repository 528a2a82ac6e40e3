// Construction, teardown and the core operations of the controller: messages, configuration.
#include "stampctl/seal.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "stampctl/core/paths.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/thread_texts.h"
#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"

using namespace stampctl;

namespace {
constexpr size_t kCwdSize = 512;
constexpr size_t kIniPathSize = 512;
constexpr const char* kFirmware210 = "2.10";
constexpr const char* kMotionSection = "Config";
constexpr const char* kMotionSection210 = "Config_210";
}  // namespace

CSeal* CSeal::Instance()
{
    // A function-local static: built once even when two threads make the first call together,
    // and tried again on the next call if the constructor threw.
    static CSeal seal;
    return &seal;
}

CSeal::CSeal()
{
    m_link.setPollObserver([this](const CStampStatus& s) { onStatusPolled(s); });
    TrcWritef(kTraceInfo, "=== CSeal::CSeal ===");
    char cwd[kCwdSize] = {};
    if (!::getcwd(cwd, sizeof cwd)) cwd[0] = '\0';
    TrcWritef(kTraceInfo, "=== %s ===", cwd);
    ReadIni("ywb");
}

CSeal::~CSeal()
{
    TrcWritef(kTraceInfo, "=== CSeal::~CSeal ===");
    _disconnMachine();
}

const char* CSeal::_geterrMsg(int code)
{
    if (code != EC_BIND_MISMATCH) return fixedMessage(code);
    char* text = threadTexts().error;
    std::snprintf(text, ThreadTexts::kErrorSize, "%s", bindDetail().c_str());
    return text;
}

const char* CSeal::GetError(int code)
{
    char* text = threadTexts().error;
    std::snprintf(text, ThreadTexts::kErrorSize, "-@#%d", static_cast<int>(static_cast<short>(code)));
    TrcWritef(kTraceInfo, "GetError:%s", text);
    return text;
}

void CSeal::strupr(char* text)
{
    if (!text) return;
    for (; *text; ++text)
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
}

void CSeal::ReadIni(const char* edition)
{
    char path[kIniPathSize];
    std::snprintf(path, sizeof path, "%s/%s.ini", baseDir().c_str(), edition ? edition : "");

    const char* section = kMotionSection;
    std::string version;
    if (ReadFirmwareVersion(version) && version.find(kFirmware210) != std::string::npos) section = kMotionSection210;

    const ConfigReading reading = readConfigFile(path, section);
    const SealConfig& c = reading.settings;
    m_config.replace(c);
    CImgHelp::Instance()->setOutputSettings(c.JpgRar, c.DPI, static_cast<unsigned long>(c.CutEzh));
    traceConfigSummary(reading);
}

void CSeal::InitBefore()
{
    {
        std::lock_guard<std::mutex> lock(m_machineLock);
        m_jzRfidList.clear();
        m_bindRfidList.clear();
        m_bIsBindRFID2Slot = false;
    }
    m_calibration.forget();
}
