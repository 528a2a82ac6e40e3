// One stamp: checks, the stamp command, and then the machine followed through its heartbeats
// until the stamp is made and the machine is ready again, or until it fails.
#include <cstdint>

#include "stampctl/core/clock.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/link/frame.h"
#include "stampctl/seal.h"

using namespace stampctl;

namespace {

constexpr int kFirstSeal = 1;
constexpr int kLastSeal = 6;
constexpr int kMaxAngle = 360;
constexpr double kHundredthsPerMm = 100.0;

// The stamp frame: AA 55 02 0B 60 03 00, seal, X, Y, angle (big-endian), seal kind, checksum.
constexpr size_t kStampFrameSize = 16;
constexpr uint8_t kStampLength = 0x0B;
constexpr uint8_t kStampCode = 0x03;
constexpr size_t kOffSeal = 7;
constexpr size_t kOffX = 8;
constexpr size_t kOffY = 10;
constexpr size_t kOffAngle = 12;
constexpr size_t kOffKind = 14;

constexpr uint8_t kStyleAcrossPage = 0;
constexpr uint8_t kStyleCalibration = 1;
constexpr uint8_t kWarn2SlotEmpty = 0x04;

constexpr int64_t kPollMs = 200;
constexpr int64_t kHeartFailPauseMs = 300;
constexpr int64_t kStampLimitMs = 30000;
constexpr int64_t kResetLimitMs = 210000;
// Ready this long after the command without any sign of a stamp: the machine never started.
constexpr int64_t kNeverStartedMs = 4999;
// A cycle longer than this may have gone through a reset that no heartbeat saw.
constexpr int64_t kLongCycleMs = 16000;

// Split as the machine reads it: quotient and remainder by 256.
void putHighFirst(unsigned char* p, int v)
{
    p[0] = static_cast<unsigned char>(v / 256);
    p[1] = static_cast<unsigned char>(v % 256);
}

void buildStampFrame(unsigned char* f, int printNum, int x, int y, int angle, char nStyle)
{
    f[0] = link::kSync0;
    f[1] = link::kSync1;
    f[2] = link::kKindSet;
    f[3] = kStampLength;
    f[4] = link::kBodyTag;
    f[5] = kStampCode;
    f[6] = 0;
    f[kOffSeal] = static_cast<unsigned char>(printNum);
    putHighFirst(f + kOffX, x);
    putHighFirst(f + kOffY, y);
    putHighFirst(f + kOffAngle, angle);
    f[kOffKind] = static_cast<unsigned char>(nStyle);
    f[kStampFrameSize - 1] = 0;  // checksum, written by the exchange
}

bool isResetState(uint8_t s) { return s == status::kResetting1 || s == status::kResetting2; }

}  // namespace

bool CSeal::PrintOneStart(int printNum, double _px, double _py, int angle, char nStyle,
                          int& retReason, bool& bAgain, STAMP_STYLE style)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::PrintOneStart");
    TrcWritef(kTraceInfo, "PrintOneStart printNum:%d, _px:%0.2f, _py:%0.2f, angle:%d, nStyle:%d",
              printNum, _px, _py, angle, nStyle);

    bAgain = false;
    retReason = EC_FAIL;
    m_bPrintReset = false;

    CheckMMOK(_px, _py);
    const int dx = m_config.seal_dx;
    const int dy = m_config.seal_dy;
    if (dx != 0 || dy != 0) {
        const double px = _px, py = _py;
        _px += dx;
        _py += dy;
        TrcWritef(kTraceInfo,
                  "===== 盖章坐标替换m_seal_dx:%d, m_seal_dy:%d,  %0.2f,%0.2f --> %0.2f,%0.2f", dx,
                  dy, px, py, _px, _py);
    }

    if (printNum < kFirstSeal || printNum > kLastSeal) {
        retReason = EC_SEAL_NUMBER_OUT_OF_RANGE;
        log.SetRet("Return %d, 传入的章号超界", retReason);
        return false;
    }
    if (angle < 0 || angle > kMaxAngle) {
        retReason = EC_ANGLE_OUT_OF_RANGE;
        log.SetRet("Return %d, 转章角度超限", retReason);
        return false;
    }
    // The seal shift is not clamped again; a position it moves below zero has no form on the
    // wire (the machine would read a wrapped, far-away value), so the stamp is refused.
    if (_px < 0 || _py < 0) {
        retReason = EC_OUT_OF_BOUNDS;
        log.SetRet("Return %d, 偏移后盖章坐标为负(%0.2f, %0.2f)", retReason, _px, _py);
        return false;
    }

    unsigned char frame[kStampFrameSize];
    buildStampFrame(frame, printNum, static_cast<int>(_px * kHundredthsPerMm),
                    static_cast<int>(_py * kHundredthsPerMm), angle, nStyle);
    const int64_t t0 = nowMs();

    const int ready = CheckCanPrint();
    if (ready != EC_OK) {
        retReason = ready;
        log.SetRet("Return Code:%d, CheckCanPrint fail", retReason);
        return false;
    }

    if (style == STAMP_ACROSS_PAGE || style == STAMP_CALIBRATION) {
        const unsigned char byte = style == STAMP_ACROSS_PAGE ? kStyleAcrossPage : kStyleCalibration;
        const int r = _ExeCmd(CMD_SET_STAMP_STYLE, &byte, 1);
        if (r != EC_OK) {
            retReason = r;
            bAgain = true;
            if (style == STAMP_ACROSS_PAGE)
                log.SetRet("Return Code:%d, 发送骑缝章指令失败", retReason);
            else
                log.SetRet("Return Code:%d, 校准章指令失败", retReason);
            return false;
        }
    }

    bool bSuccess = false;
    unsigned char reply[link::kPacketSize] = {};
    unsigned long replyLen = sizeof reply;
    retReason = SendAndRcv(frame, kStampFrameSize, reply, replyLen);
    if (retReason != EC_OK) {
        // Refused with the slot empty: another attempt cannot help.
        if (retReason != EC_NO_VALID_REPLY && (m_CStampStatus.warn_code2 & kWarn2SlotEmpty)) {
            retReason = EC_NO_SEAL;
        } else {
            bAgain = true;
        }
    } else {
        bool resetSeen = false;
        if (followStamp(retReason, bAgain, resetSeen) == CycleEnd::Success) {
            const int pause = m_config.print_error_sleep;
            if (resetSeen && pause > 0) {
                TrcWritef(kTraceInfo,
                          "PrintStart error than reset wating 2S m_print_error_sleep:%d", pause);
                sleepMs(pause);
            }
            bSuccess = true;
        }
    }
    if (!bSuccess) TrcWritef(kTraceInfo, "=== PrintOneStart error fail 盖章失败 ===");

    if (!m_bPrintReset && nowMs() - t0 > kLongCycleMs) {
        m_bPrintReset = true;
        TrcWritef(kTraceInfo, "=== PrintStart error 正在复位..., Timeout ===");
    }
    log.SetRet("Return bSuccess:%d, retReason:%d, bAgain:%d", bSuccess ? 1 : 0, retReason,
               bAgain ? 1 : 0);
    return bSuccess;
}

CSeal::CycleEnd CSeal::followStamp(int& retReason, bool& bAgain, bool& resetSeen)
{
    m_bAcrossPage = false;  // taken by this stamp
    retReason = EC_FAIL;
    int64_t limit = kStampLimitMs;
    const int64_t t1 = nowMs();
    bool doneSeen = false;
    resetSeen = false;

    // The machine faulted: it is expected to reset and come back ready, which is waited for.
    auto fault = [&](uint8_t state) {
        resetSeen = m_bPrintReset;
        if (!m_bPrintReset) {
            m_bPrintReset = true;
            TrcWritef(kTraceInfo, "=== PrintStart error 正在复位..., stamp_status:%d ===", state);
            resetSeen = true;
        }
    };
    auto ready = [&] {
        retReason = EC_OK;
        TrcWritef(kTraceInfo, "进入准备状态");
        return CycleEnd::Success;
    };

    for (;;) {
        sleepMs(kPollMs);
        if (nowMs() - t1 > limit) {
            retReason = EC_TIMEOUT;
            bAgain = false;
            TrcWritef(kTraceInfo, "PrintStart timeout:%d", retReason);
            return doneSeen ? CycleEnd::Success : CycleEnd::Fail;
        }
        retReason = ExeHeart();
        if (retReason != EC_OK) {
            sleepMs(kHeartFailPauseMs);
            continue;
        }

        const CStampStatus& s = m_CStampStatus;
        const uint8_t state = s.stamp_status;
        const bool complete = (s.state_flags & status::kStateStampDone) != 0;
        if (s.warn_code2 & kWarn2SlotEmpty) {
            retReason = EC_NO_SEAL;
            TrcWritef(kTraceInfo, "=== 盖章位置无章 ===");
            return doneSeen ? CycleEnd::Success : CycleEnd::Fail;
        }
        if (isResetState(state)) {
            if (!m_bPrintReset) {
                m_bPrintReset = true;
                TrcWritef(kTraceInfo, "=== PrintStart error 正在复位..., stamp_status:%d ===", state);
            }
            limit = kResetLimitMs;
            continue;
        }

        if (s.door_flags & status::kDoorPreComplete) {
            TrcWritef(kTraceInfo, "预完成");
            if (m_config.before_print == "yes") {
                const int pause = m_config.before_print_sleep;
                if (pause > 0) {
                    sleepMs(pause);
                    TrcWritef(kTraceInfo, "预完成后sleep:%d毫秒再返回", pause);
                    ExeHeart();
                    if (m_CStampStatus.stamp_status == status::kWarning)
                        TrcWritef(kTraceInfo, "预完成后 error");
                }
                return CycleEnd::Success;
            }
            if (!complete) {
                if (state == status::kReady) return ready();
                doneSeen = true;
                if (state == status::kWarning) fault(state);
                continue;
            }
        }

        if (complete) {
            retReason = EC_OK;
            TrcWritef(kTraceInfo, "盖章完成");
            if (state == status::kReady) return ready();
            doneSeen = true;
            if (state == status::kWarning) fault(state);
            continue;
        }

        if (state == status::kReady) {
            if (doneSeen) return ready();
            if (nowMs() - t1 > kNeverStartedMs) {
                bAgain = true;
                TrcWritef(kTraceInfo, "进入准备状态");
                retReason = EC_FAIL;
                return CycleEnd::Fail;
            }
            continue;
        }
        if (state == status::kWarning) {
            if (!doneSeen) bAgain = true;
            fault(state);
        }
    }
}
