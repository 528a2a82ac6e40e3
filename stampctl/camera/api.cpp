// Exports of the cameras: the document camera and its photo, the environment camera.
#include <string>

#include "stampctl/core/guard.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

using stampctl::guardedCall;

extern "C" {

int openVideoCap(void)
{
    return guardedCall("===== openVideoCap 异常=====", [] { return CSeal::Instance()->_openVideoCap(); });
}

int closeVideoCap(void)
{
    return guardedCall("===== closeVideoCap 异常=====", [] { return CSeal::Instance()->_closeVideoCap(); });
}

int checkVideoState(void)
{
    return guardedCall("===== checkVideoState 异常=====", [] { return CSeal::Instance()->_checkVideoState(); });
}

int getImageFormat(const char* filePath, int type, int isEraseBorder, int quality)
{
    return guardedCall("===== getImageFormat 异常=====",
                       [&] { return CSeal::Instance()->_getImageFormat(filePath, type, isEraseBorder, quality); });
}

int openEnvVideoCap(int width, int height)
{
    return guardedCall("===== openEnvVideoCap 异常=====",
                       [&] { return CSeal::Instance()->_openEnvVideoCap(width, height); });
}

int closeEnvVideoCap(void)
{
    return guardedCall("===== closeEnvVideoCap 异常=====", [] { return CSeal::Instance()->_closeEnvVideoCap(); });
}

int TakeEnvPhoto(const char* filePath)
{
    return guardedCall("===== TakeEnvPhoto 异常=====", [&]() -> int {
        if (!filePath) return stampctl::EC_PHOTO_PATH_MISSING;
        return CSeal::Instance()->_TakeEnvPhoto(std::string(filePath));
    });
}

}  // extern "C"
