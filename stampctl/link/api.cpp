// Exports of the device link: connecting and disconnecting.
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"

extern "C" {

int connMachine(const char* code) { return CSeal::Instance()->_connMachine(code); }
int disconnMachine(void) { return CSeal::Instance()->_disconnMachine(); }
int isConnMachine(void) { return CSeal::Instance()->_isConnMachine(); }

}  // extern "C"
