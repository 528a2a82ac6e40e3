// What a stamp request carries into the cycle and what the cycle hands back: plain values, so
// that no caller has to read a stamp's result out of the controller afterwards.
#pragma once

#include "stampctl/core/result_codes.h"

// The kind of seal that presses: the byte the stamp command carries, passed on unchanged
// (automatic calibration passes each seal's flag as its caller gave it).
enum SEAL_KIND : char {
    SEAL_ORDINARY = 0,
    SEAL_PHOTOSENSITIVE = 1,
};

// How one stamp cycle ended.
struct StampOutcome {
    // The machine made the stamp. The code may still be set: a stamp that was made and then
    // timed out or lost its seal reports that.
    bool stamped = false;
    int code = stampctl::EC_FAIL;
    bool retryOffered = false;  // one more attempt of the same stamp makes sense
    bool resetSeen = false;     // the machine reset itself during the cycle, or it ran that long
};
