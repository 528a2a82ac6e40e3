#pragma once

namespace stampctl {
// Opens any machine whatever security code it stores: service engineers and the test tool use
// it, and automatic calibration connects with it.
constexpr char kFactoryAccessCode[] = "mt5934mt";
}  // namespace stampctl
