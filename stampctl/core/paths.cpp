#include "stampctl/core/paths.h"

#include <cstdlib>

namespace stampctl {

std::string baseDir()
{
    const char* over = std::getenv(kBaseDirEnv);
    return (over && *over) ? std::string(over) : std::string(kInstallBaseDir);
}

}  // namespace stampctl
