// What automatic calibration tells the user once the new calibration is in the machine.
#pragma once

#include <cstddef>

#include "stampctl/seal.h"

namespace stampctl::calibration {

// The seals calibrated (seal 1 always; calibrated[k] for seals 2 to 6, index 0 unused) and how
// far the camera is turned, judged by the main circles M1 to M4: M1 and M3 should share their
// x, M1 and M2 their y. Written into text (size bytes, always terminated).
void AutoCheckReport(char* text, size_t size, const bool calibrated[CSeal::kSlotCount + 1],
                     const CSeal::JZPoint mains[CSeal::kJZCircleCount]);

}  // namespace stampctl::calibration
