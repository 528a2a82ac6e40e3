// Export of automatic calibration.
#include "stampctl/core/result_codes.h"
#include "stampctl/core/guard.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

using stampctl::guardedCall;

extern "C" {

int AutoCheckSeal(char* szMsg, short* lightFlags)
{
    return guardedCall("===== AutoCheckSeal 异常=====", [&]() -> int {
        if (!szMsg || !lightFlags) return stampctl::EC_BAD_PARAMETER;
        return CSeal::Instance()->_AutoCheckSeal(szMsg, lightFlags);
    });
}

}  // extern "C"
