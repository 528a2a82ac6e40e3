#include "shapes/stamp.h"

#include <sstream>

#include "stampctl/stampctl.h"

namespace stampctl_shapes {

namespace {

using nlohmann::json;

constexpr int kFullAndCut = 0;
constexpr int kOneOfThem = 1;  // with the erase flag: the cut picture only
constexpr int kConfiguredQuality = 0;

std::string stampText(const StampRequest& r, bool machineReset)
{
    std::ostringstream text;
    text << "seal " << r.seal << " stamped at ";
    if (!r.pixel.empty())
        text << "pixel (" << r.pixel[0] << ", " << r.pixel[1] << ")";
    else
        text << "(" << r.mm[0] << ", " << r.mm[1] << ") mm of the page";
    text << ", angle " << r.angle << (r.acrossPage ? ", across the page edge" : "");
    if (machineReset) text << "\nthe machine went through a reset during the stamp";
    return text.str();
}

}  // namespace

int photograph(const std::string& stem, bool keepFull)
{
    const int opened = openVideoCap();
    if (opened != 0) return opened;
    const std::string full = stem + kFullExtension;
    return getImageFormat(full.c_str(), keepFull ? kFullAndCut : kOneOfThem, keepFull ? 0 : 1, kConfiguredQuality);
}

Outcome stamp(const StampRequest& r, const std::string& photoStem, const json& photo)
{
    json d = {{"seal", r.seal}, {"angle", r.angle}, {"across_page", r.acrossPage}, {"photo", photo}};
    if (!r.pixel.empty())
        d["pixel"] = r.pixel;
    else
        d["mm"] = r.mm;
    int code = photoStem.empty() ? 0 : photograph(photoStem, false);
    if (code == 0 && r.acrossPage) code = setAcrossPageSeal();
    if (code != 0) return failure(code, d);
    code = !r.pixel.empty() ? manualPrintStart(r.seal, r.pixel[0], r.pixel[1], r.angle)
                            : autoPrintStart(r.seal, r.mm[0], r.mm[1], r.angle);
    const bool machineReset = GetPrintReset() == 1;
    d["machine_reset"] = machineReset;
    if (code != 0) return failure(code, d);
    Outcome outcome;
    outcome.data = d;
    outcome.text = stampText(r, machineReset);
    return outcome;
}

Outcome reset()
{
    const int code = initializationMachine();
    if (code != 0) return failure(code);
    Outcome outcome;
    outcome.text = "machine reset, ready";
    outcome.confirmation = true;
    return outcome;
}

}  // namespace stampctl_shapes
