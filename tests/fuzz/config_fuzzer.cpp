// The configuration reader on arbitrary file contents: whatever the file holds, reading it ends
// with every value inside its limits and nothing undefined on the way.
#include <cstddef>
#include <cstdint>
#include <fstream>

#include "stampctl/core/config.h"
#include "tests/fuzz/fuzz_support.h"

using namespace stampctl;

namespace {

// The values applyLimits promises, checked after every read: a value outside them would reach
// the machine or the picture code as it stands.
void checkLimits(const SealConfig& c)
{
    const bool inside = c.before_print_sleep >= 0 && c.before_print_sleep <= 2000 && c.print_error_sleep <= 15000 &&
                        c.close_paper_door_sleep <= 5000 && c.seal_dx >= -50 && c.seal_dx <= 50 && c.seal_dy >= -50 &&
                        c.seal_dy <= 50 && c.JpgRar >= 0 && c.JpgRar <= 100 && c.DPI >= 0 && c.DPI <= 500 &&
                        c.CutEzh >= 0 && c.CutEzh <= 255;
    if (!inside) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ScratchBase& base = fuzz::scratch();
    base.nextRun();
    // The first byte picks the motion section the firmware would ask for.
    const char* section = size > 0 && (data[0] & 1) ? "Config_210" : "Config";
    const std::string path = base.file("ywb.ini");
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    const ConfigReading reading = readConfigFile(path, section);
    checkLimits(reading.settings);
    traceConfigSummary(reading);
    return 0;
}
