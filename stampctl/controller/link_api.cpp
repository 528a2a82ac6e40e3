// Exports of the device link: connecting and disconnecting.
#include "stampctl/core/guard.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

using stampctl::guardedCall;

extern "C" {

int connMachine(const char* code)
{
    return guardedCall("===== connMachine 异常=====", [&] { return CSeal::Instance()->_connMachine(code); });
}

int disconnMachine(void)
{
    return guardedCall("===== disconnMachine 异常=====", [] { return CSeal::Instance()->_disconnMachine(); });
}

int isConnMachine(void)
{
    return guardedCall("===== isConnMachine 异常=====", [] { return CSeal::Instance()->_isConnMachine(); });
}

}  // extern "C"
