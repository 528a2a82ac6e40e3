// Export of automatic calibration.
#include "stampctl/frame/result_codes.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

extern "C" {

int AutoCheckSeal(char* szMsg, short* lightFlags)
{
    if (!szMsg || !lightFlags) return stampctl::EC_PARAM;
    return CSeal::Instance()->_AutoCheckSeal(szMsg, lightFlags);
}

}  // extern "C"
