// Construction, teardown and the frame operations of the controller.
#include "stampctl/seal.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "stampctl/core/paths.h"
#include "stampctl/core/result_codes.h"
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
    if (code == EC_BIND_MISMATCH) return m_bindDetail;
    return fixedMessage(code);
}

const char* CSeal::GetError(int code)
{
    std::memset(m_errText, 0, sizeof m_errText);
    std::snprintf(m_errText, sizeof m_errText, "-@#%d", static_cast<int>(static_cast<short>(code)));
    TrcWritef(kTraceInfo, "GetError:%s", m_errText);
    return m_errText;
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
    if (ReadFirmwareVersion(version) && version.find(kFirmware210) != std::string::npos)
        section = kMotionSection210;

    readConfigFile(path, section, m_config);
    CImgHelp::Instance()->setDate(m_config.JpgRar, m_config.DPI,
                                  static_cast<unsigned long>(m_config.CutEzh));
    traceConfigSummary(m_config);
}

void CSeal::InitBefore()
{
    m_jzRfidList.clear();
    m_bindRfidList.clear();
    m_bIsBindRFID2Slot = false;
    m_A4ShortSide = 0;
    m_A4LongSide = 0;
}
