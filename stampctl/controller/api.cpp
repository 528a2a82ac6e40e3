// Exports of the library core: the messages of result codes.
#include "stampctl/stampctl.h"

#include "stampctl/core/guard.h"
#include "stampctl/seal.h"

using stampctl::guardedCall;

extern "C" {

const char* geterrMsg(int code)
{
    return guardedCall("===== geterrMsg 异常=====", [&] { return CSeal::Instance()->_geterrMsg(code); });
}

}  // extern "C"
