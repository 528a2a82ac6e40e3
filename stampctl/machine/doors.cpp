// The paper door and the side door: opening them, asking whether they are open, and the side
// door's abnormal opening, of which the machine keeps a record.
#include <cstdint>
#include <cstring>

#include "stampctl/core/clock.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;
using stampctl::link::Board;

namespace {
constexpr unsigned char kDoorOpenRequest = 0x01;
constexpr size_t kDoorPayloadSize = 3;
constexpr int kDoorTimeMax = 0xFFFF;  // the open time travels as 16 bits
constexpr int kDoorOpen = 1;
constexpr int kDoorClosed = 2;
constexpr size_t kAbnormalReasonSize = 52;

// 01, then the open time least significant byte first.
void doorPayload(int time, unsigned char (&payload)[kDoorPayloadSize])
{
    payload[0] = kDoorOpenRequest;
    payload[1] = static_cast<unsigned char>(time & 0xFF);
    payload[2] = static_cast<unsigned char>((time >> 8) & 0xFF);
}

// A time the 16-bit field cannot carry would reach the machine as some other time.
bool doorTimeFits(int time) { return time >= 0 && time <= kDoorTimeMax; }

}  // namespace

int CSeal::_openPaperDoor(int time)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CW32_STAMP::_openPaperDoor");
    if (!doorTimeFits(time)) {
        log.SetRet("Return Code:%d", EC_BAD_PARAMETER);
        return EC_BAD_PARAMETER;
    }
    int result = initCheckBb();
    if (result != EC_OK) {
        log.SetRet("Return Code:%d", result);
        return result;
    }
    unsigned char payload[kDoorPayloadSize];
    doorPayload(time, payload);
    // The backup board opens the paper door too.
    result = _ExeCmd(CMD_OPEN_PAPER_DOOR, payload, sizeof payload, nullptr, Board::Either);
    // Open from now on, before the next heartbeat has seen it.
    if (result == EC_OK) markPaperDoorOpen();
    log.SetRet("Return:%d, m_iIsPaperOpen:%d", result, paperDoorOpen());
    return result;
}

int CSeal::_checkPaperDoorState()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_checkPaperDoorState");
    CStampStatus s;
    int result = initCheckZb();
    if (result == EC_OK) result = ExeHeart(&s);
    if (result == EC_OK) {
        if (s.fault_code & status::kFaultPaperDoor) {
            result = EC_PAPER_DOOR_FAULT;
        } else if (s.m_iIsPaperOpen == 1) {
            result = kDoorOpen;
        } else {
            // The board needs a moment after the door shuts before the next document goes in.
            const int pause = config()->close_paper_door_sleep;
            if (pause > 0) {
                TrcWritef(kTraceInfo, "_checkPaperDoorState close sleep close_paper_door_sleep:%d", pause);
                sleepMs(pause);
            }
            result = kDoorClosed;
        }
    }
    log.SetRet("Return Code:%d, m_iIsPaperOpen:%d", result, s.m_iIsPaperOpen);
    return result;
}

int CSeal::_openMachineBackDoor(int time)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_openMachineBackDoor");
    int result = doorTimeFits(time) ? initCheckZb() : EC_BAD_PARAMETER;
    if (result == EC_OK) {
        unsigned char payload[kDoorPayloadSize];
        doorPayload(time, payload);
        result = _ExeCmd(CMD_OPEN_BACK_DOOR, payload, sizeof payload);
    }
    log.SetRet("Return Code:%d", result);
    return result;
}

int CSeal::_checkBackDoorState()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_checkBackDoorState");
    CStampStatus s;
    int result = initCheckZb(&s);
    if (result == EC_OK) {
        if (s.fault_code & status::kFaultBackDoorRfid)
            result = EC_BACK_DOOR_FAULT;
        else
            result = s.m_iIsBackDoorOpen == 1 ? kDoorOpen : kDoorClosed;
    }
    log.SetRet("Return Code:%d", result);
    return result;
}

int CSeal::_openMachineBackDoorUnNormal(const char* openInfo, int nLen)
{
    // The reason need not be terminated: only its nLen bytes are read, also for the trace.
    if (!openInfo) nLen = 0;
    TRC_LOGER log(TRC_LOGER::TRC_API, "_openMachineBackDoorUnNormal 异常开锁 nLen:%d, openInfo:%.*s", nLen,
                  nLen > 0 ? nLen : 0, openInfo ? openInfo : "");
    if (nLen < 1) {
        log.SetRet("Return :%d, 异常信息为空", EC_OPEN_REASON_MISSING);
        return EC_OPEN_REASON_MISSING;
    }
    if (static_cast<size_t>(nLen) > kAbnormalReasonSize) {
        log.SetRet("Return :%d, 异常信息超过50字节", EC_OPEN_REASON_TOO_LONG);
        return EC_OPEN_REASON_TOO_LONG;
    }

    unsigned char payload[kAbnormalReasonSize] = {};
    std::memcpy(payload, openInfo, static_cast<size_t>(nLen));
    // No heartbeat first: the opening must work whichever board answers and whatever it reports.
    const int result = _ExeCmd(CMD_OPEN_BACKDOOR_ABNORMAL, payload, sizeof payload, nullptr, Board::Either);
    if (result == EC_OK) {
        log.SetRet("Return :%d", result);
        return EC_OK;
    }
    // A refusal brings a fresh heartbeat with it, which says whether the record store is full.
    if (stampStatus().warn_code2 & status::kWarn2TooManyUnnormal) {
        log.SetRet("Return :%d, 异常开锁信息过多", EC_UNNORMAL_OPEN_LIMIT);
        return EC_UNNORMAL_OPEN_LIMIT;
    }
    log.SetRet("Return :%d, 侧门打开失败", result);
    return result;
}
