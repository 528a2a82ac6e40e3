#include "stampctl/sim/stamp_scripts.h"

namespace stampctl::sim::stamp_scripts {
namespace {

constexpr int64_t kBusyMs = 1000;
constexpr int64_t kFaultShownMs = 1000;
constexpr int64_t kResetStartMs = 1000;
constexpr int64_t kResettingMs = 2000;
constexpr int64_t kMotionMs = 1500;

StatusPhase phase(uint8_t state, int64_t ms)
{
    StatusPhase p;
    p.status.stampStatus = state;
    p.durationMs = ms;
    return p;
}

}  // namespace

StampScript faultThenReset(uint8_t fault)
{
    StatusPhase faulted = phase(kWarning, kFaultShownMs);
    faulted.status.fault = fault;
    StampScript s;
    s.phases = {phase(kBusy, kBusyMs), faulted, phase(kResetStarting, kResetStartMs), phase(kResetting, kResettingMs)};
    return s;
}

StampScript stall()
{
    StampScript s;
    s.phases = {phase(kBusy, 0)};
    return s;
}

StampScript noCompletion()
{
    StampScript s;
    s.phases = {phase(kBusy, kMotionMs)};
    return s;
}

}  // namespace stampctl::sim::stamp_scripts
