// Exports of stamping: the print requests, their checks, and the reset of the mechanism.
#include "stampctl/core/guard.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

using stampctl::guardedCall;

extern "C" {

int setAcrossPageSeal(void)
{
    return guardedCall("===== setAcrossPageSeal 异常=====", [] { return CSeal::Instance()->_setAcrossPageSeal(); });
}

int checkManualPrintPara(int pointX, int pointY, int angle)
{
    return guardedCall("===== checkManualPrintPara 异常=====",
                       [&] { return CSeal::Instance()->_checkManualPrintPara(pointX, pointY, angle); });
}

int manualPrintStart(int printNum, int pointX, int pointY, int angle)
{
    return guardedCall("===== manualPrintStart 异常=====",
                       [&] { return CSeal::Instance()->_manualPrintStart(printNum, pointX, pointY, angle); });
}

int manualPrintStartByLight(int printNum, int pointX, int pointY, int angle)
{
    return guardedCall("===== manualPrintStartByLight 异常=====",
                       [&] { return CSeal::Instance()->_manualPrintStartByLight(printNum, pointX, pointY, angle); });
}

int autoPrintStart(int printNum, int pointX, int pointY, int angle)
{
    return guardedCall("===== _autoPrintStart 异常=====",
                       [&] { return CSeal::Instance()->_autoPrintStart(printNum, pointX, pointY, angle); });
}

int initializationMachine(void)
{
    return guardedCall("===== initializationMachine 异常=====",
                       [] { return CSeal::Instance()->_initializationMachine(); });
}

}  // extern "C"
