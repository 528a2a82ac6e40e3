// Resetting the mechanism on request: the reset command, then the machine followed until it is
// ready, reports a fault twice in a row, or runs out of time. The seals are read again after.
#include <cstdint>

#include "stampctl/core/clock.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/link/frame.h"
#include "stampctl/seal.h"

using namespace stampctl;

namespace {

constexpr int64_t kResetPollMs = 500;
constexpr int kResetPolls = 130;  // about 65 s

}  // namespace

int CSeal::realReset()
{
    auto finish = [&](int code) {
        _getRFID();  // the self-check may have found other seals
        return code;
    };

    link::Reply reply;
    const int sent = DoCommand(CMD_RESET, nullptr, 0, reply);
    if (sent != EC_OK) return finish(sent);

    CStampStatus s;
    sleepMs(kResetPollMs);
    ExeHeart(&s);
    if (s.stamp_status != status::kResetting1) {
        const int code = GetMachineERR(s);
        TrcWritef(kTraceInfo, "_initializationMachine fail:%d", code);
        return finish(code);
    }

    // A failed heartbeat leaves the last state read; the count goes on regardless.
    for (int poll = 0; poll < kResetPolls; ++poll) {
        sleepMs(kResetPollMs);
        ExeHeart(&s);
        if (s.stamp_status == status::kWarning) {
            ExeHeart(&s);
            if (s.stamp_status == status::kReady) return finish(EC_OK);
            if (s.stamp_status == status::kWarning) return finish(GetMachineERR(s));
            continue;
        }
        if (s.stamp_status == status::kReady) return finish(EC_OK);
    }
    TrcWritef(kTraceInfo, "_initializationMachine timeout: EC_TIMEOUT %d", EC_TIMEOUT);
    return finish(EC_TIMEOUT);
}

int CSeal::_initializationMachine()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_initializationMachine");
    CStampStatus doors;
    int result = initCheckZb(&doors);
    if (result != EC_OK) {
        log.SetRet("Return Code:%d", result);
        return result;
    }
    if (doors.m_iIsBackDoorOpen == 1) {
        TrcWritef(kTraceInfo, "_initializationMachine Err: backdooropen %d", EC_BACK_DOOR_OPEN);
        log.SetRet("Return Code:%d", EC_BACK_DOOR_OPEN);
        return EC_BACK_DOOR_OPEN;
    }
    if (doors.m_iIsPaperOpen == 1) {
        TrcWritef(kTraceInfo, "_initializationMachine Err: paperdooropen %d", EC_PAPER_DOOR_OPEN);
        log.SetRet("Return Code:%d", EC_PAPER_DOOR_OPEN);
        return EC_PAPER_DOOR_OPEN;
    }

    result = realReset();
    if (result == EC_SEAL_MISSING) {
        // A machine without seals has reset all the same.
        TrcWritef(kTraceInfo, "_initializationMachine 自检后无章:, ret:%d", result);
        result = EC_OK;
    }
    log.SetRet("Return Code:%d", result);
    return result;
}
