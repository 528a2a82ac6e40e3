// Where the library keeps its files: configuration, the daily trace logs in "log" and photos in
// "cut". The directory is fixed by the installation; STAMPCTL_BASE_DIR moves it (tests, other
// installs).
#pragma once

#include <sys/types.h>

#include <string>

namespace stampctl {

constexpr const char* kInstallBaseDir = "/opt/apps/cn.orvane.stampctl/files";
constexpr const char* kBaseDirEnv = "STAMPCTL_BASE_DIR";
// Traces and photos are shared by every operator of the site (the installed log and cut
// directories belong to a group): what one creates, the next must be able to rewrite, whatever
// the umask of the one who created it.
constexpr mode_t kSharedFileMode = 0664;

// The base directory in force, read afresh on every call.
std::string baseDir();

}  // namespace stampctl
