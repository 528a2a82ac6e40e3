// What a stamp request must satisfy before anything moves: a point that lies on the picture or
// the page it names, and a calibration that can map it. Pure functions of what they are given.
#pragma once

#include "stampctl/calibration/calibration_record.h"
#include "stampctl/core/facts.h"
#include "stampctl/imaging/cut_result.h"

namespace stampctl::stamping {

// The A4 page as a caller measures it from its top-left corner: as the sheet lies under the
// camera (long side across) for a stamp at 0 or 180 degrees, turned with the seal (short side
// across) at 90 and 270.
constexpr int kPageLongMm = static_cast<int>(kA4LongMm);
constexpr int kPageShortMm = static_cast<int>(kA4ShortMm);

// A cut picture this process took and kept.
bool haveCutPicture(const CutResult& cut);
// (x, y) is a pixel of the cut picture.
bool onCutPicture(const CutResult& cut, int x, int y);
// (x, y) in whole millimetres lies on the page seen at `angle` (its edges included).
bool onPage(int x, int y, int angle);
// The four circles stand where the calibration points' rectangle can stand: circle 1 left of 2
// and 3 left of 4 on about level rows, 1 and 2 above 3 and 4 in about upright columns, opposite
// sides of about the same length, none of them short. Zeros, coincident circles or circles out
// of order map a pixel to nowhere in particular.
bool calibrationSound(const calibration::Record& record);

}  // namespace stampctl::stamping
