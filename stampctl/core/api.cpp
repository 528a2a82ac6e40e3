// Exports of the library frame.
#include "stampctl/stampctl.h"

#include "stampctl/seal.h"

extern "C" {

const char* geterrMsg(int code) { return CSeal::Instance()->_geterrMsg(code); }

}  // extern "C"
