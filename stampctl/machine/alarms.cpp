// The moved-device alarm, the buzzer and the seal locks: one main-board command each.
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;

namespace {

int mainBoardCommand(CSeal& seal, CMD_DEF cmd, TRC_LOGER& log)
{
    const int result = seal.ExeMainBoardCmd(cmd);
    log.SetRet("Return Code:%d", result);
    return result;
}

// Lock and unlock travel as the same frame around the caller's byte.
int sealLockCommand(CSeal& seal, CMD_DEF cmd, const char* p, TRC_LOGER& log)
{
    const int result = seal.initCheckZb();
    if (result != EC_OK) {
        log.SetRet("Return Code:%d", result);
        return result;
    }
    if (!p) return EC_FAIL;
    const unsigned char mask = static_cast<unsigned char>(p[0]);
    const int sent = seal._ExeCmd(cmd, &mask, 1);
    log.SetRet("Return Code:%d", sent);
    return sent;
}

}  // namespace

int CSeal::_openMoveAlarm()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_openMoveAlarm 打开搬动报警");
    return mainBoardCommand(*this, CMD_MOVE_ALARM_ON, log);
}

int CSeal::_closeMoveAlarm()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_closeMoveAlarm 关闭搬动报警");
    return mainBoardCommand(*this, CMD_MOVE_ALARM_OFF, log);
}

int CSeal::_openFMAlarm()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_openFMAlarm 打开蜂鸣报警");
    return mainBoardCommand(*this, CMD_BUZZER_ON, log);
}

int CSeal::_closeFMAlarm()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_closeFMAlarm 关闭蜂鸣报警");
    return mainBoardCommand(*this, CMD_BUZZER_OFF, log);
}

int CSeal::_lockSeal(const char* p)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_lockSeal");
    return sealLockCommand(*this, CMD_LOCK_SEAL, p, log);
}

int CSeal::_unlockSeal(const char* p)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_unlockSeal 解锁印章");
    return sealLockCommand(*this, CMD_UNLOCK_SEAL, p, log);
}
