// Which slots hold a seal, and the seal information block that the application keeps in the
// machine.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/thread_texts.h"
#include "stampctl/core/trace.h"
#include "stampctl/machine/texts.h"
#include "stampctl/seal.h"

using namespace stampctl;
using stampctl::link::Reply;

namespace {
constexpr size_t kSealBlockSize = 90;  // what initStamp writes, zero-filled
constexpr size_t kSlotTextSize = 32;   // "1:1;2:0;3:1;4:0;5:1;6:0"

// nullptr when the main board answers and `machineNum` names this machine; otherwise the
// failure text, with the reason as the logger's result.
const char* sealQueryRefusal(CSeal& seal, const char* machineNum, TRC_LOGER& log)
{
    int result = seal.initCheckZb();
    if (result != EC_OK) {
        log.SetRet("Return Code:%d", result);
        return seal.GetError(result);
    }
    result = seal.IsMachineNumOk(machineNum);
    if (result != EC_OK) {
        const char* text = seal.GetError(result);
        log.SetRet("Return :%d, 传入用机机编号不对, %s", result, text);
        return text;
    }
    return nullptr;
}

}  // namespace

int CSeal::GetSloatInfo(int (&hasSeal)[kSlotCount], char* text)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CSeal::GetSloatInfo");
    Reply reply;
    const int result = _ExeCmd(CMD_GET_SLOT_INFO, nullptr, 0, &reply);
    if (result != EC_OK) {
        log.SetRet("Return fail:%d", result);
        return result;
    }
    const unsigned char mask = reply.data[0];
    for (int n = 1; n <= kSlotCount; ++n) {
        hasSeal[n - 1] = (mask >> (n - 1)) & 1;
        if (text) text += std::sprintf(text, n < kSlotCount ? "%d:%d;" : "%d:%d", n, hasSeal[n - 1]);
    }
    log.SetRet("Return success:%d", result);
    return result;
}

const char* CSeal::_querySloatInfo(const char* machineNum)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_querySloatInfo machineNum:%s", orEmpty(machineNum));
    if (const char* refusal = sealQueryRefusal(*this, machineNum, log)) return refusal;
    int hasSeal[kSlotCount] = {};
    char slots[kSlotTextSize] = {};
    const int result = GetSloatInfo(hasSeal, slots);
    if (result != EC_OK) {
        const char* text = GetError(result);
        log.SetRet("ret:%d, Return fail:%s", result, text);
        return text;
    }
    log.SetRet("Return success:%s", slots);
    return std::strcpy(freshText(), slots);
}

const char* CSeal::_querySealInfo(const char* machineNum)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_querySealInfo machineNum:%s", orEmpty(machineNum));
    if (const char* refusal = sealQueryRefusal(*this, machineNum, log)) return refusal;
    char block[kSealBlockBufferSize];
    const int result = _ExeBuf(CMD_READ_SEAL_BUF, nullptr, 0, block);
    if (result != EC_OK) {
        const char* text = GetError(result);
        log.SetRet("_querySealInfo fail:%s", text);
        return text;
    }
    // The block is at most 1023 bytes in a zeroed 1024-byte buffer: always terminated.
    log.SetRet("_querySealInfo sucess:%s", block);
    return std::strcpy(freshText(), block);
}

int CSeal::_initStamp(const char* machineNum, const char* slotNumAndStampId)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_initStamp machineNum:%s,slotNumAndStampId:%s", orEmpty(machineNum),
                  orEmpty(slotNumAndStampId));
    int result = initCheckZb();
    if (result != EC_OK) {
        log.SetRet("Return Code:%d", result);
        return result;
    }
    result = IsMachineNumOk(machineNum);
    if (result != EC_OK) {
        log.SetRet("Return :%d, 传入用机机编号不对", result);
        return result;
    }
    const size_t len = slotNumAndStampId ? std::strlen(slotNumAndStampId) : 0;
    if (len == 0 || len > kSealBlockSize) {
        result = len == 0 ? EC_SEAL_INFO_MISSING : EC_SEAL_INFO_TOO_LONG;
        log.SetRet("Return fail data error:%d, %d", result, static_cast<int>(len));
        return result;
    }
    // The terminator goes with the text when there is room for it.
    char block[kSealBlockSize] = {};
    std::memcpy(block, slotNumAndStampId, std::min(len + 1, kSealBlockSize));
    result = _ExeBuf(CMD_WRITE_SEAL_BUF, block, static_cast<short>(kSealBlockSize));
    log.SetRet("Return :%d", result);
    return result;
}
