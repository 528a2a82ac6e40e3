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

// AA 55 02 03 60 00 00 and the checksum.
constexpr size_t kResetFrameSize = 8;
constexpr uint8_t kResetLength = 0x03;
constexpr uint8_t kResetCode = 0x00;

constexpr int64_t kResetPollMs = 500;
constexpr int kResetPolls = 130;  // about 65 s

}  // namespace

int CSeal::realReset()
{
    unsigned char frame[kResetFrameSize] = {link::kSync0, link::kSync1, link::kKindSet, kResetLength,
                                            link::kBodyTag, kResetCode, 0, 0};
    unsigned char reply[link::kPacketSize] = {};
    unsigned long replyLen = sizeof reply;

    auto finish = [&](int code) {
        _getRFID();  // the self-check may have found other seals
        return code;
    };

    const int sent = SendAndRcv(frame, kResetFrameSize, reply, replyLen);
    if (sent != EC_OK) return finish(sent);

    sleepMs(kResetPollMs);
    ExeHeart();
    if (m_CStampStatus.stamp_status != status::kResetting1) {
        const int code = GetMachineERR();
        TrcWritef(kTraceInfo, "_initializationMachine fail:%d", code);
        return finish(code);
    }

    // A failed heartbeat leaves the last state read; the count goes on regardless.
    for (int poll = 0; poll < kResetPolls; ++poll) {
        sleepMs(kResetPollMs);
        ExeHeart();
        if (m_CStampStatus.stamp_status == status::kWarning) {
            ExeHeart();
            const uint8_t again = m_CStampStatus.stamp_status;
            if (again == status::kReady) return finish(EC_OK);
            if (again == status::kWarning) return finish(GetMachineERR());
            continue;
        }
        if (m_CStampStatus.stamp_status == status::kReady) return finish(EC_OK);
    }
    TrcWritef(kTraceInfo, "_initializationMachine timeout: EC_TIMEOUT %d", EC_TIMEOUT);
    return finish(EC_TIMEOUT);
}

int CSeal::_initializationMachine()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_initializationMachine");
    int result = initCheckZb();
    if (result != EC_OK) {
        log.SetRet("Return Code:%d", result);
        return result;
    }
    if (m_iIsBackDoorOpen == 1) {
        TrcWritef(kTraceInfo, "_initializationMachine Err: backdooropen %d", EC_BACK_DOOR_OPEN);
        log.SetRet("Return Code:%d", EC_BACK_DOOR_OPEN);
        return EC_BACK_DOOR_OPEN;
    }
    if (m_iIsPaperOpen == 1) {
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
