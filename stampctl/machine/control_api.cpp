// Exports of machine control: doors, alarms and seal locks; seals, slots and RFID; the logs.
#include <climits>
#include <cstring>

#include "stampctl/core/guard.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

namespace {
constexpr int kPaperDoorTime = 30;
constexpr int kBackDoorTime = 120;
}  // namespace

using stampctl::guardedCall;

extern "C" {

int openPaperDoor(void)
{
    return guardedCall("===== openPaperDoor 异常=====",
                       [] { return CSeal::Instance()->_openPaperDoor(kPaperDoorTime); });
}

int openPaperDoorEx(int time)
{
    return guardedCall("===== openPaperDoorEx 异常=====", [&] { return CSeal::Instance()->_openPaperDoor(time); });
}

int checkPaperDoorState(void)
{
    return guardedCall("===== checkPaperDoorState 异常=====", [] { return CSeal::Instance()->_checkPaperDoorState(); });
}

int openMachineBackDoor(void)
{
    return guardedCall("===== openMachineBackDoor 异常=====",
                       [] { return CSeal::Instance()->_openMachineBackDoor(kBackDoorTime); });
}

int openMachineBackDoorEx(int time)
{
    return guardedCall("===== openMachineBackDoorEx 异常=====",
                       [&] { return CSeal::Instance()->_openMachineBackDoor(time); });
}

int checkBackDoorState(void)
{
    return guardedCall("===== checkBackDoorState 异常=====", [] { return CSeal::Instance()->_checkBackDoorState(); });
}

int openMachineBackDoorUnNormal(const char* openInfo)
{
    return guardedCall("===== openMachineBackDoorUnNormal 异常=====", [&]() -> int {
        const int len = openInfo ? static_cast<int>(strnlen(openInfo, INT_MAX)) : 0;
        return CSeal::Instance()->_openMachineBackDoorUnNormal(openInfo, len);
    });
}

int openMachineBackDoorUnNormalForProduct(const char* openInfo)
{
    return openMachineBackDoorUnNormal(openInfo);  // the same export under a second name
}

int openMoveAlarm(void)
{
    return guardedCall("===== openMoveAlarm 异常=====", [] { return CSeal::Instance()->_openMoveAlarm(); });
}

int closeMoveAlarm(void)
{
    return guardedCall("===== closeMoveAlarm 异常=====", [] { return CSeal::Instance()->_closeMoveAlarm(); });
}

int openFMAlarm(void)
{
    return guardedCall("===== openFMAlarm 异常=====", [] { return CSeal::Instance()->_openFMAlarm(); });
}

int closeFMAlarm(void)
{
    return guardedCall("===== closeFMAlarm 异常=====", [] { return CSeal::Instance()->_closeFMAlarm(); });
}

int lockSeal(const char* p)
{
    return guardedCall("===== lockSeal 异常=====", [&] { return CSeal::Instance()->_lockSeal(p); });
}

int unlockSeal(const char* p)
{
    return guardedCall("===== unlockSeal 异常=====", [&] { return CSeal::Instance()->_unlockSeal(p); });
}

const char* querySloatInfo(const char* machineNum)
{
    return guardedCall("===== querySloatInfo 异常=====", [&]() -> const char* {
        return CSeal::Instance()->_querySloatInfo(machineNum);
    });
}

const char* querySealInfo(const char* machineNum)
{
    return guardedCall("===== querySealInfo 异常=====", [&]() -> const char* {
        return CSeal::Instance()->_querySealInfo(machineNum);
    });
}

int initStamp(const char* machineNum, const char* slotNumAndStampId)
{
    return guardedCall("===== initStamp 异常=====", [&]() -> int {
        return CSeal::Instance()->_initStamp(machineNum, slotNumAndStampId);
    });
}

char* getRFID(void)
{
    return guardedCall("===== getRFID 异常=====", [] { return CSeal::Instance()->_getRFID(); });
}

int BindRFIDAndSlot(int iBind)
{
    return guardedCall("===== BindRFIDAndSlot 异常=====", [&] { return CSeal::Instance()->_BindRFIDAndSlot(iBind); });
}

const char* inqAlarmLog(void)
{
    return guardedCall("===== inqAlarmLog 异常=====", [] { return CSeal::Instance()->_inqAlarmLog(); });
}

int delAlarmLog(void)
{
    return guardedCall("===== delAlarmLog 异常=====", [] { return CSeal::Instance()->_delAlarmLog(); });
}

const char* readOpenBackDoorExceptionInfo(void)
{
    return guardedCall("===== readOpenBackDoorExceptionInfo 异常=====", []() -> const char* {
        return CSeal::Instance()->_readOpenBackDoorExceptionInfo();
    });
}

int delOpenBackDoorExceptionInfo(void)
{
    return guardedCall("===== delOpenBackDoorExceptionInfo 异常=====",
                       [] { return CSeal::Instance()->_delOpenBackDoorExceptionInfo(); });
}

}  // extern "C"
