// Exports of machine control: print-reset state, identity and security code, the light.
#include "stampctl/core/guard.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

using stampctl::guardedCall;

extern "C" {

int GetPrintReset(void)
{
    return guardedCall("===== GetPrintReset 异常=====", [] { return CSeal::Instance()->_GetPrintReset() ? 1 : 0; });
}

const char* getMachineNum(void)
{
    return guardedCall("===== getMachineNum 异常=====", [] { return CSeal::Instance()->_getMachineNum(); });
}

int setMachineNum(const char* machineNum)
{
    return guardedCall("===== setMachineNum 异常=====", [&] { return CSeal::Instance()->_setMachineNum(machineNum); });
}

const char* getMachineType(void)
{
    return guardedCall("===== getMachineType 异常=====", [] { return CSeal::Instance()->_getMachineType(); });
}

int setMachineType(const char* machineType)
{
    return guardedCall(
        "===== setMachineType 异常=====", [&]() -> int { return CSeal::Instance()->_setMachineType(machineType); });
}

const char* getMachineId(void)
{
    return guardedCall("===== getMachineId 异常=====", [] { return CSeal::Instance()->_getMachineId(); });
}

int setMachineId(const char* machineId)
{
    return guardedCall("===== setMachineId 异常=====", [&] { return CSeal::Instance()->_setMachineId(machineId); });
}

const char* getFirmwareVer(void)
{
    return guardedCall("===== getFirmwareVer 异常=====", [] { return CSeal::Instance()->_getFirmwareVer(); });
}

int getFirmwareMode(void)
{
    return guardedCall("===== getFirmwareMode 异常=====", [] { return CSeal::Instance()->_getFirmwareMode(); });
}

int setFirmwareMode(int mode)
{
    return guardedCall("===== setFirmwareMode 异常=====",
                       [&] { return CSeal::Instance()->_setFirmwareMode(static_cast<char>(mode)); });
}

int setSecurityCode(const char* code)
{
    return guardedCall("===== setSecurityCode 异常=====", [&] { return CSeal::Instance()->_setSecurityCode(code); });
}

int delSecurityCode(void)
{
    return guardedCall("===== delSecurityCode 异常=====", [] { return CSeal::Instance()->_delSecurityCode(); });
}

int openVideoCapLight(void)
{
    return guardedCall("===== openVideoCapLight 异常=====", [] { return CSeal::Instance()->_openVideoCapLight(); });
}

int closeVideoCapLight(void)
{
    return guardedCall("===== closeVideoCapLight 异常=====", [] { return CSeal::Instance()->_closeideoCapLight(); });
}

}  // extern "C"
