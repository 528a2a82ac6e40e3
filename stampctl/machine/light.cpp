// The document camera's light.
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;

int CSeal::_openVideoCapLight()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_openVideoCapLight");
    const int result = ExeMainBoardCmd(CMD_LIGHT_ON);
    log.SetRet("Return Code:%d", result);
    return result;
}

int CSeal::_closeideoCapLight()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_closeideoCapLight");
    const int result = ExeMainBoardCmd(CMD_LIGHT_OFF);
    log.SetRet("Return Code:%d", result);
    return result;
}
