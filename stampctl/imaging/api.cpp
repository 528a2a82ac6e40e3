// Exports of image processing.
#include "stampctl/stampctl.h"

#include "stampctl/core/guard.h"
#include "stampctl/seal.h"

extern "C" {

int isWhitePaper(int pointX, int pointY)
{
    return stampctl::guardedCall(
        "===== isWhitePaper 异常=====", [&]() -> int { return CSeal::Instance()->_isWhitePaper(pointX, pointY); });
}

}  // extern "C"
