// Connecting to the machine, disconnecting, and asking whether it still answers.
#include <cstring>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/core/facts.h"
#include "stampctl/link/dev_by_usb.h"
#include "stampctl/link/frame.h"
#include "stampctl/seal.h"
#if STAMPCTL_WITH_SIMULATOR
#include "stampctl/sim/sim_machine.h"
#endif

using namespace stampctl;
using namespace stampctl::link;

namespace {
constexpr const char* kTypeOfXzb = "OVM310";
constexpr size_t kSafeCodeSize = 100;
}  // namespace

std::unique_ptr<UsbTransport> CSeal::makeTransport()
{
    const TransportFactory installed = transportFactory();
    std::unique_ptr<UsbTransport> usb = installed ? installed() : nullptr;
#if STAMPCTL_WITH_SIMULATOR
    if (!usb && sim::simulatorEnabled()) usb = sim::makeSimTransport();
#endif
    if (!usb) usb = std::make_unique<CDevByUsb>();
    return usb;
}

int CSeal::_connMachine(const char* code)
{
    if (!code) {
        TrcWritef(kTraceError, "<--_connMachine code is NULL, return:%d", EC_BAD_PARAMETER);
        return EC_BAD_PARAMETER;
    }
    _disconnMachine();
    InitBefore();
    TrcWritef(kTraceInfo, "-->_connMachine");

    const int opened = m_link.open();
    if (opened < 0) {
        TrcWritef(kTraceInfo, "<--_connMachine DevUsbOpen fail return:%d, -400", opened);
        return EC_PORT_OPENFAIL;
    }
    // A machine that does not answer is not connected: leave nothing open behind.
    const auto refuse = [this](int result) {
        m_link.close();
        return result;
    };
    if (ExeHeart() != EC_OK) {
        TrcWritef(kTraceInfo, "<--_connMachine ExeHeart fail return:%d, EC_PORT_OPENFAIL ExeHeart", EC_PORT_OPENFAIL);
        return refuse(EC_PORT_OPENFAIL);
    }

    // A code that was refused (or could not be checked) must not leave a usable link behind:
    // every later command then fails as it does before any connection.
    if (std::strcmp(code, kFactoryAccessCode) != 0) {
        char stored[kSafeCodeSize] = {};
        if (ReadSafeCode(stored) != EC_OK) {
            TrcWritef(kTraceInfo, "Return fail:%d", EC_SECURITY_CODE_UNREADABLE);
            return refuse(EC_SECURITY_CODE_UNREADABLE);
        }
        if (stored[0] != '\0' && std::strcmp(stored, code) != 0) {
            TrcWritef(kTraceInfo, "Return fail:%d", EC_BAD_PARAMETER);
            return refuse(EC_BAD_PARAMETER);
        }
    }

    GetPointInfo();
    _openVideoCapLight();
    const char* type = _getMachineType();
    ReadIni(std::strcmp(type, kTypeOfXzb) == 0 ? "xzb" : "ywb");
    ExeConfig();

    TrcWritef(kTraceInfo, "<--_connMachine return:%d", EC_OK);
    return EC_OK;
}

int CSeal::_disconnMachine()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_disconnMachine");
    // A disconnect started from inside another (the light-off poll finding the top cover open
    // again) only closes the link: the outer one is already switching the light off.
    const bool nested = m_link.beginDisconnect();
    if (!nested) _closeideoCapLight();
    m_link.close();
    // Both capture threads stop; each close returns once its thread has let go of the device.
    _closeVideoCap();
    _closeEnvVideoCap();
    if (!nested) m_link.endDisconnect();
    log.SetRet("Return:%d", EC_OK);
    return EC_OK;
}

int CSeal::_isConnMachine()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_isConnMachine");
    const int state = ExeHeart() == EC_OK ? 0 : 1;
    log.SetRet("Return:%d", state);
    return state;
}
