// Export of automatic calibration.
#include "stampctl/frame/result_codes.h"
#include "stampctl/frame/guard.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

using stampctl::guardedCall;

extern "C" {

int AutoCheckSeal(char* szMsg, short* lightFlags)
{
    return guardedCall("===== AutoCheckSeal 异常=====", [&]() -> int {
        if (!szMsg || !lightFlags) return stampctl::EC_PARAM;
        return CSeal::Instance()->_AutoCheckSeal(szMsg, lightFlags);
    });
}

}  // extern "C"
