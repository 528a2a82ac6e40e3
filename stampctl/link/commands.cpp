#include "stampctl/seal.h"

bool CSeal::ReadFirmwareVersion(std::string& text)
{
    // Nothing can be asked before the transport exists.
    text.clear();
    return false;
}
