// Export of automatic calibration.
#include "stampctl/core/result_codes.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

extern "C" {

int AutoCheckSeal(char* szMsg, short* lightFlags)
{
    if (!szMsg || !lightFlags) return stampctl::EC_BAD_PARAMETER;
    return CSeal::Instance()->_AutoCheckSeal(szMsg, lightFlags);
}

}  // extern "C"
