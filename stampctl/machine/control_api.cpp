// Exports of machine control: doors, alarms and seal locks; seals, slots and RFID; the logs.
#include <climits>
#include <cstring>

#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

namespace {
constexpr int kPaperDoorTime = 30;
constexpr int kBackDoorTime = 120;
}  // namespace

extern "C" {

int openPaperDoor(void) { return CSeal::Instance()->_openPaperDoor(kPaperDoorTime); }
int openPaperDoorEx(int time) { return CSeal::Instance()->_openPaperDoor(time); }
int checkPaperDoorState(void) { return CSeal::Instance()->_checkPaperDoorState(); }
int openMachineBackDoor(void) { return CSeal::Instance()->_openMachineBackDoor(kBackDoorTime); }
int openMachineBackDoorEx(int time) { return CSeal::Instance()->_openMachineBackDoor(time); }
int checkBackDoorState(void) { return CSeal::Instance()->_checkBackDoorState(); }
int openMachineBackDoorUnNormal(const char* openInfo)
{
    const int len = openInfo ? static_cast<int>(strnlen(openInfo, INT_MAX)) : 0;
    return CSeal::Instance()->_openMachineBackDoorUnNormal(openInfo, len);
}
int openMachineBackDoorUnNormalForProduct(const char* openInfo)
{
    return openMachineBackDoorUnNormal(openInfo);
}
int openMoveAlarm(void) { return CSeal::Instance()->_openMoveAlarm(); }
int closeMoveAlarm(void) { return CSeal::Instance()->_closeMoveAlarm(); }
int openFMAlarm(void) { return CSeal::Instance()->_openFMAlarm(); }
int closeFMAlarm(void) { return CSeal::Instance()->_closeFMAlarm(); }
int lockSeal(const char* p) { return CSeal::Instance()->_lockSeal(p); }
int unlockSeal(const char* p) { return CSeal::Instance()->_unlockSeal(p); }

const char* querySloatInfo(const char* machineNum)
{
    return CSeal::Instance()->_querySloatInfo(machineNum);
}
const char* querySealInfo(const char* machineNum)
{
    return CSeal::Instance()->_querySealInfo(machineNum);
}
int initStamp(const char* machineNum, const char* slotNumAndStampId)
{
    return CSeal::Instance()->_initStamp(machineNum, slotNumAndStampId);
}
char* getRFID(void) { return CSeal::Instance()->_getRFID(); }
int BindRFIDAndSlot(int iBind) { return CSeal::Instance()->_BindRFIDAndSlot(iBind); }

const char* inqAlarmLog(void) { return CSeal::Instance()->_inqAlarmLog(); }
int delAlarmLog(void) { return CSeal::Instance()->_delAlarmLog(); }
const char* readOpenBackDoorExceptionInfo(void)
{
    return CSeal::Instance()->_readOpenBackDoorExceptionInfo();
}
int delOpenBackDoorExceptionInfo(void) { return CSeal::Instance()->_delOpenBackDoorExceptionInfo(); }

}  // extern "C"
