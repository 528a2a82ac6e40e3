// The machine's identity (number, type, ID, firmware) and its security code.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/thread_texts.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;
using stampctl::link::Board;
using stampctl::link::kMaxReplyData;
using stampctl::link::Reply;

namespace {
constexpr size_t kMachineNumLen = 12;
constexpr size_t kMachineTypeLen = 16;
constexpr size_t kMachineIdLen = 20;
constexpr size_t kSecurityCodeLen = 50;
constexpr size_t kSecurityCodeMin = 6;
constexpr size_t kSafeCodeCleared = 8;
constexpr size_t kSafeCodeBufferSize = 100;
constexpr uint8_t kFirmwareModeMax = 2;

// A text as the machine stores it: zero-padded to `size` bytes, no terminator when it fills them.
template <size_t N>
void padded(unsigned char (&out)[N], const char* text)
{
    std::memset(out, 0, N);
    if (text) std::memcpy(out, text, strnlen(text, N));
}

const char* orEmpty(const char* text) { return text ? text : ""; }

}  // namespace

int CSeal::getMachineNumHelp(char* dst)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CSeal::getMachineNumHelp");
    Reply reply;
    const int result = _ExeCmd(CMD_GET_MACHINE_NUM, nullptr, 0, &reply, Board::Either);
    if (result == EC_OK && dst) reply.copyText(dst, kMachineNumLen);
    log.SetRet("Return:%d", result);
    return result;
}

const char* CSeal::_getMachineNum()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_getMachineNum");
    char num[kMachineNumSize] = {};
    int result = ExeHeart();
    if (result == EC_OK) result = getMachineNumHelp(num);
    log.SetRet("Return:%d", result);
    if (result != EC_OK) return GetError(result);
    rememberMachineNum(num);
    return std::strcpy(freshText(), num);
}

void CSeal::rememberMachineNum(const char* num)
{
    std::lock_guard<std::mutex> lock(m_machineLock);
    std::snprintf(m_machineNum, sizeof m_machineNum, "%s", num);
}

std::string CSeal::knownMachineNum() const
{
    std::lock_guard<std::mutex> lock(m_machineLock);
    return m_machineNum;
}

int CSeal::IsMachineNumOk(const char* num)
{
    if (!num || num[0] == '\0') return EC_MACHINE_NUM_MISSING;
    if (std::strlen(num) > kMachineNumLen) return EC_MACHINE_NUM_TOO_LONG;
    // Copied first: `num` may be this thread's text, which asking the machine overwrites.
    const std::string wanted = num;
    if (knownMachineNum().empty()) _getMachineNum();
    return wanted == knownMachineNum() ? EC_OK : EC_MACHINE_NUM_MISMATCH;
}

int CSeal::SetMachineNumHelp(const char* num)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CSeal::SetMachineNumHelp machineNum:%s", orEmpty(num));
    unsigned char payload[kMachineNumLen];
    padded(payload, num);
    const int result = _ExeCmd(CMD_SET_MACHINE_NUM, payload, sizeof payload, nullptr, Board::Either);
    log.SetRet("Return:%d", result);
    return result;
}

int CSeal::_setMachineNum(const char* num)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_setMachineNum machineNum:%s", orEmpty(num));
    int result = initCheckZb();
    if (result != EC_OK) {
        log.SetRet("Return Code:%d", result);
        return result;
    }
    result = IsMachineNumOk(num);
    if (result == EC_MACHINE_NUM_MISSING || result == EC_MACHINE_NUM_TOO_LONG) {
        log.SetRet("Return :%d, 传入用机机编号不对", result);
        return result;
    }
    result = SetMachineNumHelp(num);
    if (result != EC_OK) {
        log.SetRet("Return fail:%d", result);
        return result;
    }
    rememberMachineNum(num);
    log.SetRet("Return success:%d", result);
    return EC_OK;
}

const char* CSeal::_getMachineType()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_getMachineType");
    Reply reply;
    int result = initCheckZb();
    if (result == EC_OK) result = _ExeCmd(CMD_GET_MACHINE_TYPE, nullptr, 0, &reply);
    if (result != EC_OK) {
        const char* text = GetError(result);
        log.SetRet("Return fail:%d, %s", result, text);
        return text;
    }
    // Beyond 16 characters it is not the type.
    char* type = freshText();
    reply.copyText(type, kMachineTypeLen);
    log.SetRet("Return:%d, %s", result, type);
    return type;
}

int CSeal::_setMachineType(const char* type)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_setMachineType");
    // A type the machine cannot hold whole is refused rather than cut.
    if (!type || std::strlen(type) > kMachineTypeLen) {
        log.SetRet("Return fail data error:%d", EC_BAD_PARAMETER);
        return EC_BAD_PARAMETER;
    }
    unsigned char payload[kMachineTypeLen];
    padded(payload, type);
    const int result = _ExeCmd(CMD_SET_MACHINE_TYPE, payload, sizeof payload);
    log.SetRet("Return:%d", result);
    return result;
}

const char* CSeal::_getMachineId()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_getMachineId");
    Reply reply;
    const int result = _ExeCmd(CMD_GET_MACHINE_ID, nullptr, 0, &reply);
    log.SetRet("Return:%d", result);
    if (result != EC_OK) return "";
    char* id = freshText();
    reply.copyText(id, kMaxReplyData);
    return id;
}

int CSeal::_setMachineId(const char* id)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_setMachineId");
    if (!id || std::strlen(id) > kMachineIdLen) {
        log.SetRet("Return fail data error:%d", EC_FAIL);
        return EC_FAIL;
    }
    unsigned char payload[kMachineIdLen];
    padded(payload, id);
    const int result = _ExeCmd(CMD_SET_MACHINE_ID, payload, sizeof payload);
    TrcWritef(kTraceInfo, result == EC_OK ? "设置序列号成功, ret:%d" : "设置序列号失败, ret:%d", result);
    log.SetRet("Return:%d", result);
    return result;
}

const char* CSeal::_getFirmwareVer()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_getFirmwareVer");
    Reply reply;
    const int result = _ExeCmd(CMD_GET_FIRMWARE_VER, nullptr, 0, &reply);
    // A failed exchange hands back no data: the text is then empty.
    char* version = freshText();
    reply.copyText(version, kMaxReplyData);
    log.SetRet("Return:%d, %s", result, version);
    return version;
}

int CSeal::_getFirmwareMode()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_getFirmwareMode");
    int mode = -1;
    Reply reply;
    if (_ExeCmd(CMD_GET_FIRMWARE_MODE, nullptr, 0, &reply) == EC_OK && reply.dataLen >= 1 &&
        reply.data[0] <= kFirmwareModeMax)
        mode = reply.data[0];
    log.SetRet("Return:%d", mode);
    return mode;
}

int CSeal::_setFirmwareMode(char mode)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_setFirmwareMode ver:%d", mode);
    const unsigned char payload = static_cast<unsigned char>(mode);
    const int result = _ExeCmd(CMD_SET_FIRMWARE_MODE, &payload, 1);
    log.SetRet("Return:%d", result);
    return result;
}

int CSeal::CheckSecurityCode(const char* code)
{
    if (!code) return EC_SECURITY_CODE_MISSING;
    const size_t len = std::strlen(code);
    if (len < kSecurityCodeMin || len > kSecurityCodeLen) return EC_SECURITY_CODE_LENGTH;
    return EC_OK;
}

int CSeal::ReadSafeCode(char* dst)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "ReadSafeCode");
    if (dst) std::memset(dst, 0, kSafeCodeCleared);
    Reply reply;
    const int result = _ExeCmd(CMD_GET_SECURITY_CODE, nullptr, 0, &reply, Board::Either);
    if (result == EC_OK && dst) reply.copyText(dst, kSecurityCodeLen);
    log.SetRet("Return:%d", result);
    return result;
}

int CSeal::setSecurityCodeHelp(const char* code)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "setSecurityCodeHelp");
    unsigned char payload[kSecurityCodeLen];
    padded(payload, code);
    const int result = _ExeCmd(CMD_SET_SECURITY_CODE, payload, sizeof payload, nullptr, Board::Either);
    log.SetRet("Return:%d", result);
    return result;
}

int CSeal::_setSecurityCode(const char* code)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "setSecurityCode");
    int result = initCheckZb();
    if (result != EC_OK) {
        log.SetRet("Return Code:%d", result);
        return result;
    }
    result = CheckSecurityCode(code);
    if (result != EC_OK) {
        log.SetRet("Return Code:%d, 安全码不合法", result);
        return result;
    }
    char stored[kSafeCodeBufferSize] = {};
    if (ReadSafeCode(stored) != EC_OK) {
        log.SetRet("Return fail:%d", EC_SECURITY_CODE_UNREADABLE);
        return EC_SECURITY_CODE_UNREADABLE;
    }
    // A code is only set while none is stored; delSecurityCode clears the old one first.
    if (stored[0] != '\0') {
        log.SetRet("Return fail:%d", EC_SECURITY_CODE_ALREADY_SET);
        return EC_SECURITY_CODE_ALREADY_SET;
    }
    result = setSecurityCodeHelp(code);
    log.SetRet("Return %d", result);
    return result;
}

int CSeal::_delSecurityCode()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "delSecurityCode");
    const unsigned char cleared[kSecurityCodeLen] = {};
    const int result = ExeMainBoardCmd(CMD_SET_SECURITY_CODE, cleared, sizeof cleared);
    log.SetRet("Return:%d", result);
    return result;
}
