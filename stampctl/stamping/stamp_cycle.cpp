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

// The stamp command's payload: seal, X, Y, angle (big-endian), seal kind.
constexpr size_t kStampPayloadSize = 8;
constexpr size_t kOffX = 1;
constexpr size_t kOffY = 3;
constexpr size_t kOffAngle = 5;
constexpr size_t kOffKind = 7;

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

void buildStampPayload(unsigned char* p, int printNum, int x, int y, int angle, char nStyle)
{
    p[0] = static_cast<unsigned char>(printNum);
    putHighFirst(p + kOffX, x);
    putHighFirst(p + kOffY, y);
    putHighFirst(p + kOffAngle, angle);
    p[kOffKind] = static_cast<unsigned char>(nStyle);
}

bool isResetState(uint8_t s) { return s == status::kResetting1 || s == status::kResetting2; }

}  // namespace

StampOutcome CSeal::PrintOneStart(int printNum, double _px, double _py, int angle, SEAL_KIND nStyle, STAMP_STYLE style)
{
    return PrintOneStart(*config(), printNum, _px, _py, angle, nStyle, style);
}

StampOutcome CSeal::PrintOneStart(const SealConfig& config, int printNum, double _px, double _py, int angle,
                                  SEAL_KIND nStyle, STAMP_STYLE style)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::PrintOneStart");
    TrcWritef(kTraceInfo, "PrintOneStart printNum:%d, _px:%0.2f, _py:%0.2f, angle:%d, nStyle:%d", printNum, _px, _py,
              angle, nStyle);

    StampOutcome out;
    m_bPrintReset = false;
    // What GetPrintReset reports afterwards: this cycle's finding, whichever way it ends.
    const auto refused = [&](int code) {
        out.code = code;
        m_bPrintReset = false;
        return out;
    };

    CheckMMOK(_px, _py);
    const int dx = config.seal_dx;
    const int dy = config.seal_dy;
    if (dx != 0 || dy != 0) {
        const double px = _px, py = _py;
        _px += dx;
        _py += dy;
        TrcWritef(kTraceInfo, "===== 盖章坐标替换m_seal_dx:%d, m_seal_dy:%d,  %0.2f,%0.2f --> %0.2f,%0.2f", dx, dy, px,
                  py, _px, _py);
    }

    if (printNum < kFirstSeal || printNum > kLastSeal) {
        log.SetRet("Return %d, 传入的章号超界", EC_SEAL_NUMBER_OUT_OF_RANGE);
        return refused(EC_SEAL_NUMBER_OUT_OF_RANGE);
    }
    if (angle < 0 || angle > kMaxAngle) {
        log.SetRet("Return %d, 转章角度超限", EC_ANGLE_OUT_OF_RANGE);
        return refused(EC_ANGLE_OUT_OF_RANGE);
    }
    // The seal shift is not clamped again; a position it moves below zero has no form on the
    // wire (the machine would read a wrapped, far-away value), so the stamp is refused.
    if (_px < 0 || _py < 0) {
        log.SetRet("Return %d, 偏移后盖章坐标为负(%0.2f, %0.2f)", EC_OUT_OF_BOUNDS, _px, _py);
        return refused(EC_OUT_OF_BOUNDS);
    }

    unsigned char payload[kStampPayloadSize];
    buildStampPayload(payload, printNum, static_cast<int>(_px * kHundredthsPerMm),
                      static_cast<int>(_py * kHundredthsPerMm), angle, nStyle);
    const int64_t t0 = nowMs();

    const int ready = CheckCanPrint();
    if (ready != EC_OK) {
        log.SetRet("Return Code:%d, CheckCanPrint fail", ready);
        return refused(ready);
    }

    if (style == STAMP_ACROSS_PAGE || style == STAMP_CALIBRATION) {
        const unsigned char byte = style == STAMP_ACROSS_PAGE ? kStyleAcrossPage : kStyleCalibration;
        const int r = _ExeCmd(CMD_SET_STAMP_STYLE, &byte, 1);
        if (r != EC_OK) {
            out.retryOffered = true;
            if (style == STAMP_ACROSS_PAGE)
                log.SetRet("Return Code:%d, 发送骑缝章指令失败", r);
            else
                log.SetRet("Return Code:%d, 校准章指令失败", r);
            return refused(r);
        }
    }

    link::Reply reply;
    out.code = DoCommand(CMD_STAMP, payload, kStampPayloadSize, reply);
    if (out.code != EC_OK) {
        // Refused with the slot empty: another attempt cannot help.
        if (out.code != EC_NO_VALID_REPLY && (stampStatus().warn_code2 & kWarn2SlotEmpty))
            out.code = EC_NO_SEAL;
        else
            out.retryOffered = true;
    } else {
        out = followStamp(config);
    }
    if (!out.stamped) TrcWritef(kTraceInfo, "=== PrintOneStart error fail 盖章失败 ===");

    if (!out.resetSeen && nowMs() - t0 > kLongCycleMs) {
        out.resetSeen = true;
        TrcWritef(kTraceInfo, "=== PrintStart error 正在复位..., Timeout ===");
    }
    m_bPrintReset = out.resetSeen;
    log.SetRet("Return bSuccess:%d, retReason:%d, bAgain:%d", out.stamped ? 1 : 0, out.code, out.retryOffered ? 1 : 0);
    return out;
}

StampOutcome CSeal::followStamp(const SealConfig& config)
{
    m_bAcrossPage = false;  // taken by this stamp
    StampOutcome out;
    int64_t limit = kStampLimitMs;
    const int64_t t1 = nowMs();
    bool doneSeen = false;
    bool faultSeen = false;  // earns the pause after the stamp

    const auto resetStarted = [&](uint8_t state) {
        if (out.resetSeen) return;
        out.resetSeen = true;
        TrcWritef(kTraceInfo, "=== PrintStart error 正在复位..., stamp_status:%d ===", state);
    };
    // The machine faulted: it is expected to reset and come back ready, which is waited for.
    const auto fault = [&](uint8_t state) {
        resetStarted(state);
        faultSeen = true;
    };
    const auto success = [&] {
        const int pause = config.print_error_sleep;
        if (faultSeen && pause > 0) {
            TrcWritef(kTraceInfo, "PrintStart error than reset wating 2S m_print_error_sleep:%d", pause);
            sleepMs(pause);
        }
        out.stamped = true;
        return out;
    };
    const auto end = [&] { return doneSeen ? success() : out; };
    const auto ready = [&] {
        out.code = EC_OK;
        TrcWritef(kTraceInfo, "进入准备状态");
        return success();
    };

    for (;;) {
        sleepMs(kPollMs);
        if (nowMs() - t1 > limit) {
            out.code = EC_TIMEOUT;
            out.retryOffered = false;
            TrcWritef(kTraceInfo, "PrintStart timeout:%d", out.code);
            return end();
        }
        CStampStatus s;
        out.code = ExeHeart(&s);
        if (out.code != EC_OK) {
            // Closed under the stamp (a disconnect on another thread, or this heartbeat found
            // the top cover open): nothing will answer any more.
            if (!linkOpen()) {
                if (out.code != EC_TOP_COVER_OPEN) out.code = EC_DISCONNECTED;
                out.retryOffered = false;
                TrcWritef(kTraceInfo, "PrintStart 连接已断开:%d", out.code);
                return end();
            }
            sleepMs(kHeartFailPauseMs);
            continue;
        }

        const uint8_t state = s.stamp_status;
        const bool complete = (s.state_flags & status::kStateStampDone) != 0;
        if (s.warn_code2 & kWarn2SlotEmpty) {
            out.code = EC_NO_SEAL;
            TrcWritef(kTraceInfo, "=== 盖章位置无章 ===");
            return end();
        }
        if (isResetState(state)) {
            resetStarted(state);
            limit = kResetLimitMs;
            continue;
        }

        if (s.door_flags & status::kDoorPreComplete) {
            TrcWritef(kTraceInfo, "预完成");
            if (config.before_print) {
                const int pause = config.before_print_sleep;
                if (pause > 0) {
                    sleepMs(pause);
                    TrcWritef(kTraceInfo, "预完成后sleep:%d毫秒再返回", pause);
                    ExeHeart(&s);
                    if (s.stamp_status == status::kWarning) TrcWritef(kTraceInfo, "预完成后 error");
                }
                return success();
            }
            if (!complete) {
                if (state == status::kReady) return ready();
                doneSeen = true;
                if (state == status::kWarning) fault(state);
                continue;
            }
        }

        if (complete) {
            out.code = EC_OK;
            TrcWritef(kTraceInfo, "盖章完成");
            if (state == status::kReady) return ready();
            doneSeen = true;
            if (state == status::kWarning) fault(state);
            continue;
        }

        if (state == status::kReady) {
            if (doneSeen) return ready();
            if (nowMs() - t1 > kNeverStartedMs) {
                out.retryOffered = true;
                TrcWritef(kTraceInfo, "进入准备状态");
                out.code = EC_FAIL;
                return out;
            }
            continue;
        }
        if (state == status::kWarning) {
            if (!doneSeen) out.retryOffered = true;
            fault(state);
        }
    }
}
