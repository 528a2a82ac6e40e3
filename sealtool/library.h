// The functions of libstampctl that the tool calls, reached through one table so that a test can
// put a recording function in place of one of them while the rest still drive the machine.
#pragma once

#include "stampctl/stampctl.h"

namespace sealtool {

// Opens any machine whatever security code it stores.
constexpr const char* kFactoryAccessCode = "mt5934mt";

struct Library {
    const char* (*geterrMsg)(int) = ::geterrMsg;

    int (*connMachine)(const char*) = ::connMachine;
    int (*disconnMachine)() = ::disconnMachine;
    int (*isConnMachine)() = ::isConnMachine;
    int (*GetPrintReset)() = ::GetPrintReset;

    const char* (*getMachineNum)() = ::getMachineNum;
    int (*setMachineNum)(const char*) = ::setMachineNum;
    const char* (*getMachineType)() = ::getMachineType;
    int (*setMachineType)(const char*) = ::setMachineType;
    const char* (*getMachineId)() = ::getMachineId;
    int (*setMachineId)(const char*) = ::setMachineId;
    const char* (*getFirmwareVer)() = ::getFirmwareVer;
    int (*getFirmwareMode)() = ::getFirmwareMode;
    int (*setFirmwareMode)(int) = ::setFirmwareMode;
    int (*setSecurityCode)(const char*) = ::setSecurityCode;
    int (*delSecurityCode)() = ::delSecurityCode;

    int (*openVideoCapLight)() = ::openVideoCapLight;
    int (*closeVideoCapLight)() = ::closeVideoCapLight;
    int (*openPaperDoor)() = ::openPaperDoor;
    int (*checkPaperDoorState)() = ::checkPaperDoorState;
    int (*openMachineBackDoor)() = ::openMachineBackDoor;
    int (*checkBackDoorState)() = ::checkBackDoorState;
    int (*openMachineBackDoorUnNormalForProduct)(const char*) = ::openMachineBackDoorUnNormalForProduct;
    int (*openMoveAlarm)() = ::openMoveAlarm;
    int (*closeMoveAlarm)() = ::closeMoveAlarm;
    int (*openFMAlarm)() = ::openFMAlarm;
    int (*closeFMAlarm)() = ::closeFMAlarm;
    int (*unlockSeal)(const char*) = ::unlockSeal;

    const char* (*querySloatInfo)(const char*) = ::querySloatInfo;
    const char* (*querySealInfo)(const char*) = ::querySealInfo;
    int (*initStamp)(const char*, const char*) = ::initStamp;
    char* (*getRFID)() = ::getRFID;
    int (*BindRFIDAndSlot)(int) = ::BindRFIDAndSlot;

    const char* (*inqAlarmLog)() = ::inqAlarmLog;
    int (*delAlarmLog)() = ::delAlarmLog;
    const char* (*readOpenBackDoorExceptionInfo)() = ::readOpenBackDoorExceptionInfo;
    int (*delOpenBackDoorExceptionInfo)() = ::delOpenBackDoorExceptionInfo;

    int (*openVideoCap)() = ::openVideoCap;
    int (*closeVideoCap)() = ::closeVideoCap;
    int (*checkVideoState)() = ::checkVideoState;
    int (*getImageFormat)(const char*, int, int, int) = ::getImageFormat;

    int (*setAcrossPageSeal)() = ::setAcrossPageSeal;
    int (*checkManualPrintPara)(int, int, int) = ::checkManualPrintPara;
    int (*manualPrintStart)(int, int, int, int) = ::manualPrintStart;
    int (*manualPrintStartByLight)(int, int, int, int) = ::manualPrintStartByLight;
    int (*autoPrintStart)(int, int, int, int) = ::autoPrintStart;
    int (*initializationMachine)() = ::initializationMachine;
    int (*isWhitePaper)(int, int) = ::isWhitePaper;

    int (*GetAllJZInfo)(short*, short*, short*, short*, short*, short*) = ::GetAllJZInfo;
    int (*DownLoadBaseJZ)(const unsigned char*, int, int) = ::DownLoadBaseJZ;
    int (*DownLoadRotateJZ)(const short*, const short*) = ::DownLoadRotateJZ;
    int (*AutoCheckSeal)(char*, short*) = ::AutoCheckSeal;
};

// The table in use. Replaced entries must be put back before the tool's threads stop using them.
Library& lib();

}  // namespace sealtool
