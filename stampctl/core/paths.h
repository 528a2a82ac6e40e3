// Where the library keeps its files: configuration, the daily trace logs in "log" and photos in
// "cut". The directory is fixed by the installation; STAMPCTL_BASE_DIR moves it (tests, other
// installs).
#pragma once

#include <string>

namespace stampctl {

constexpr const char* kInstallBaseDir = "/opt/apps/cn.orvane.stampctl/files";
constexpr const char* kBaseDirEnv = "STAMPCTL_BASE_DIR";

// The base directory in force, read afresh on every call.
std::string baseDir();

}  // namespace stampctl
