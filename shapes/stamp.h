// The document photo, stamping and the mechanism's reset.
#pragma once

#include <string>
#include <vector>

#include "shapes/outcome.h"

namespace stampctl_shapes {

// The library names the cut picture after the full photo's path, its extension replaced by .jpg.
constexpr const char* kFullExtension = ".bmp";
constexpr const char* kCutExtension = ".jpg";

// Starts the document camera and takes one photo: the cut picture to `stem`.jpg, and the full
// frame to `stem`.bmp when `keepFull`. The library's code.
int photograph(const std::string& stem, bool keepFull);

struct StampRequest {
    int seal = 0;
    std::vector<int> pixel;  // x, y of the cut picture
    std::vector<int> mm;     // x, y from the page's top-left corner
    int angle = 0;
    bool acrossPage = false;
};

// Stamps as `r` asks. With a `photoStem` the document is photographed there first; without, the
// pixel is one of the last cut picture taken. `photo` names that picture in the data.
Outcome stamp(const StampRequest& r, const std::string& photoStem, const nlohmann::json& photo);

// Resets the mechanism and waits until it is ready (up to about a minute).
Outcome reset();

}  // namespace stampctl_shapes
