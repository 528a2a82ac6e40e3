// Exports of machine control: print-reset state, identity and security code, the light.
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

extern "C" {

int GetPrintReset(void) { return CSeal::Instance()->_GetPrintReset() ? 1 : 0; }

const char* getMachineNum(void) { return CSeal::Instance()->_getMachineNum(); }
int setMachineNum(const char* machineNum) { return CSeal::Instance()->_setMachineNum(machineNum); }
const char* getMachineType(void) { return CSeal::Instance()->_getMachineType(); }
int setMachineType(const char* machineType)
{
    return CSeal::Instance()->_setMachineType(machineType);
}
const char* getMachineId(void) { return CSeal::Instance()->_getMachineId(); }
int setMachineId(const char* machineId) { return CSeal::Instance()->_setMachineId(machineId); }
const char* getFirmwareVer(void) { return CSeal::Instance()->_getFirmwareVer(); }
int getFirmwareMode(void) { return CSeal::Instance()->_getFirmwareMode(); }
int setFirmwareMode(int mode) { return CSeal::Instance()->_setFirmwareMode(static_cast<char>(mode)); }
int setSecurityCode(const char* code) { return CSeal::Instance()->_setSecurityCode(code); }
int delSecurityCode(void) { return CSeal::Instance()->_delSecurityCode(); }

int openVideoCapLight(void) { return CSeal::Instance()->_openVideoCapLight(); }
int closeVideoCapLight(void) { return CSeal::Instance()->_closeideoCapLight(); }

}  // extern "C"
