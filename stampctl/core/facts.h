// Facts about the machine and its paper that several subsystems rely on, written once.
#pragma once

namespace stampctl {

// Seals the machine keeps, in slots 1 to 6.
constexpr int kSealCount = 6;

// The A4 sheet.
constexpr double kA4LongMm = 297.0;
constexpr double kA4ShortMm = 210.0;
// Pixels per millimetre of a cut A4 picture while no calibration gives them (1922 and 2732
// pixels across the short and long sides).
constexpr double kDefaultPerMmShort = 9.152380952380952;
constexpr double kDefaultPerMmLong = 9.198653198653199;

// Machine positions of the four calibration points, in millimetres: circles 1 and 3 on the
// left, 2 and 4 on the right, 1 and 2 at the top, 3 and 4 at the bottom.
constexpr double kCalibrationLeftMm = 85.0;
constexpr double kCalibrationRightMm = 230.0;
constexpr double kCalibrationTopMm = 35.0;
constexpr double kCalibrationBottomMm = 270.0;

// Opens any machine whatever security code it stores: service engineers and the test tool use
// it, and automatic calibration connects with it.
constexpr char kFactoryAccessCode[] = "mt5934mt";

}  // namespace stampctl
