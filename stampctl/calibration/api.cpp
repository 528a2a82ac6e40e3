// Exports of the calibration record.
#include "stampctl/core/result_codes.h"
#include "stampctl/core/guard.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

using stampctl::guardedCall;

extern "C" {

int GetAllJZInfo(short* longSide, short* shortSide, short* circleX, short* circleY, short* offsetX, short* offsetY)
{
    return guardedCall("===== GetAllJZInfo 异常=====", [&]() -> int {
        if (!longSide || !shortSide) return stampctl::EC_BAD_PARAMETER;
        return CSeal::Instance()->_GetAllJZInfo(*longSide, *shortSide, circleX, circleY, offsetX, offsetY);
    });
}

int DownLoadBaseJZ(const unsigned char* data, int len, int saveRFID)
{
    return guardedCall("===== DownLoadBaseJZ 异常=====", [&]() -> int {
        return CSeal::Instance()->_DownLoadBaseJZ(data, len, static_cast<short>(saveRFID));
    });
}

int DownLoadRotateJZ(const short* x, const short* y)
{
    return guardedCall(
        "===== DownLoadRotateJZ 异常=====", [&]() -> int { return CSeal::Instance()->_DownLoadRotateJZ(x, y); });
}

}  // extern "C"
