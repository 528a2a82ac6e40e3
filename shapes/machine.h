// What the machine is and how it stands, and what is switched by hand: status, info, doors,
// light. Each runs on a connected machine and reports in the shared shape.
#pragma once

#include <string>

#include "shapes/outcome.h"

namespace stampctl_shapes {

// Codes that mean the machine could not be asked at all, as opposed to a state it reports.
bool isLinkFailure(int code);

// Connection, both doors, readiness and the machine's most important fault.
Outcome status();
// Number, type, ID, firmware, slots, RFID tags and the stored seal information.
Outcome info();

struct DoorRequest {
    std::string door;  // "paper" or "side"
    int seconds = -1;  // -1: the machine's usual time for that door
};
Outcome openDoor(const DoorRequest& r);

// The document light on or off; data {"light": "on"|"off"}.
Outcome switchLight(bool on);

}  // namespace stampctl_shapes
