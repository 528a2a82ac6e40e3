// The wait for readiness and the pre-checks that open nearly every machine operation (what a
// status record means is link/stamp_status.h).
#include <cstdint>
#include <mutex>

#include "stampctl/core/clock.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;

namespace {

constexpr int64_t kReadyLimitMs = 30000;
constexpr int64_t kResetReadyLimitMs = 210000;
constexpr int64_t kHeartFailPauseMs = 300;
constexpr int64_t kWaitPauseMs = 100;

}  // namespace

int CSeal::CheckCanPrint()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CheckCanPrint");
    int64_t limit = kReadyLimitMs;
    const int64_t start = nowMs();
    bool faultSeen = false;

    for (;;) {
        if (nowMs() - start > limit) {
            TrcWritef(kTraceInfo, "fail timeout");
            log.SetRet("return:%d", EC_TIMEOUT);
            return EC_TIMEOUT;
        }
        CStampStatus s;
        const int heart = ExeHeart(&s);
        if (heart != EC_OK) {
            // Closed meanwhile (a disconnect on another thread, or the top cover found open):
            // nothing will answer any more.
            if (!linkOpen()) {
                const int code = heart == EC_TOP_COVER_OPEN ? heart : EC_DISCONNECTED;
                log.SetRet("return:%d, 连接已断开", code);
                return code;
            }
            sleepMs(kHeartFailPauseMs);
            TrcWritef(kTraceInfo, "ExeHeart fail");
            continue;
        }
        if (s.m_iIsBackDoorOpen == 1) {
            log.SetRet("return:%d, 侧门打开", EC_BACK_DOOR_OPEN);
            return EC_BACK_DOOR_OPEN;
        }
        if (s.m_iIsPaperOpen == 1) {
            log.SetRet("return:%d, 纸板打开", EC_PAPER_DOOR_OPEN);
            return EC_PAPER_DOOR_OPEN;
        }

        const uint8_t state = s.stamp_status;
        if (IsReseting(s)) {
            sleepMs(kWaitPauseMs);
        } else if (state == status::kBusy) {
            if (!(s.door_flags & status::kDoorPreComplete)) continue;
            sleepMs(kWaitPauseMs);
        } else if (state == status::kReady) {
            log.SetRet("return:%d", EC_OK);
            return EC_OK;
        } else if (state == status::kWarning) {
            if (faultSeen) {
                const int code = GetMachineERR(s);
                log.SetRet("return:%d, 设备故障  m_CStampStatus.stamp_status = %d", code, state);
                return code;
            }
            faultSeen = true;
            continue;
        }
        // The state is read again here: the pause above may have let a reset begin.
        if (status::isResetState(stampStatus().stamp_status)) limit = kResetReadyLimitMs;
    }
}

int CSeal::initCheckBb(CStampStatus* seen)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::initCheckBb");
    const int result = ExeHeart(seen);
    log.SetRet("Return Code:%d", result);
    return result;
}

int CSeal::initCheckZb(CStampStatus* seen)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::initCheckZb");
    CStampStatus s;
    int result = ExeHeart(&s);
    if (seen) *seen = s;
    if (result == EC_OK && (s.state_flags & status::kStateBackupBoard)) {
        result = EC_NEED_MAIN_BOARD;
        TrcWritef(kTraceInfo, "Return :%d, 备板不支持该功能", result);
    }
    log.SetRet("Return:%d", result);
    return result;
}

int CSeal::ExeMainBoardCmd(CMD_DEF cmd, const unsigned char* payload, int len, link::Reply* reply)
{
    const int checked = initCheckZb();
    return checked == EC_OK ? _ExeCmd(cmd, payload, len, reply) : checked;
}
