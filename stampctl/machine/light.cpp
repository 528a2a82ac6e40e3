// The document camera's light.
#include "stampctl/frame/result_codes.h"
#include "stampctl/frame/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;

namespace {
int switchLight(CSeal& seal, CMD_DEF cmd, TRC_LOGER& log)
{
    int result = seal.initCheckZb();
    if (result == EC_OK) result = seal._ExeCmd(cmd);
    log.SetRet("Return Code:%d", result);
    return result;
}
}  // namespace

int CSeal::_openVideoCapLight()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_openVideoCapLight");
    return switchLight(*this, CMD_LIGHT_ON, log);
}

int CSeal::_closeideoCapLight()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_closeideoCapLight");
    return switchLight(*this, CMD_LIGHT_OFF, log);
}
