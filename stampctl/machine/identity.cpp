// The machine's identity (number, type, ID, firmware) and its security code.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;

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

// Copies at most `max` characters of the reply text and terminates them.
void copyText(char* dst, const unsigned char* reply, size_t available, size_t max)
{
    const size_t n = strnlen(reinterpret_cast<const char*>(reply), std::min(available, max));
    std::memcpy(dst, reply, n);
    dst[n] = '\0';
}

const char* orEmpty(const char* text) { return text ? text : ""; }

}  // namespace

int CSeal::getMachineNumHelp(char* dst)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CSeal::getMachineNumHelp");
    m_bSupportBB = true;
    const int result = _ExeCmd(CMD_GET_MACHINE_NUM);
    if (result == EC_OK && dst) copyText(dst, m_ReplyInfo, m_RLen, kMachineNumLen);
    log.SetRet("Return:%d", result);
    return result;
}

const char* CSeal::_getMachineNum()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_getMachineNum");
    int result = ExeHeart();
    if (result == EC_OK) result = getMachineNumHelp(m_machineNum);
    log.SetRet("Return:%d", result);
    return result == EC_OK ? m_machineNum : GetError(result);
}

int CSeal::IsMachineNumOk(const char* num)
{
    if (!num || num[0] == '\0') return EC_MACHINE_NUM_MISSING;
    if (std::strlen(num) > kMachineNumLen) return EC_MACHINE_NUM_TOO_LONG;
    if (m_machineNum[0] == '\0') _getMachineNum();
    return std::strcmp(num, m_machineNum) == 0 ? EC_OK : EC_MACHINE_NUM_MISMATCH;
}

int CSeal::SetMachineNumHelp(const char* num)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CSeal::SetMachineNumHelp machineNum:%s", orEmpty(num));
    unsigned char payload[kMachineNumLen];
    padded(payload, num);
    m_bSupportBB = true;
    const int result = _ExeCmd(CMD_SET_MACHINE_NUM, payload, sizeof payload);
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
    std::snprintf(m_machineNum, sizeof m_machineNum, "%s", num);
    log.SetRet("Return success:%d", result);
    return EC_OK;
}

const char* CSeal::_getMachineType()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_getMachineType");
    int result = initCheckZb();
    if (result == EC_OK) result = _ExeCmd(CMD_GET_MACHINE_TYPE);
    if (result != EC_OK) {
        const char* text = GetError(result);
        log.SetRet("Return fail:%d, %s", result, text);
        return text;
    }
    // The text is handed back where it arrived; beyond 16 characters it is not the type.
    if (m_RLen > kMachineTypeLen) m_ReplyInfo[kMachineTypeLen] = '\0';
    const char* type = reinterpret_cast<const char*>(m_ReplyInfo);
    log.SetRet("Return fail:%d, %s", result, type);
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
    const int result = _ExeCmd(CMD_GET_MACHINE_ID);
    log.SetRet("Return:%d", result);
    if (result != EC_OK) return "";
    copyText(m_SloatInfo, m_ReplyInfo, m_RLen, sizeof m_SloatInfo - 1);
    return m_SloatInfo;
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
    TrcWritef(kTraceInfo, result == EC_OK ? "设置序列号成功, ret:%d" : "设置序列号失败, ret:%d",
              result);
    log.SetRet("Return:%d", result);
    return result;
}

const char* CSeal::_getFirmwareVer()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_getFirmwareVer");
    const int result = _ExeCmd(CMD_GET_FIRMWARE_VER);
    // A failed exchange leaves the reply data zero: the text is then empty.
    copyText(m_SloatInfo, m_ReplyInfo, result == EC_OK ? m_RLen : 0, sizeof m_SloatInfo - 1);
    log.SetRet("Return:%d, %s", result, m_SloatInfo);
    return m_SloatInfo;
}

int CSeal::_getFirmwareMode()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_getFirmwareMode");
    int mode = -1;
    if (_ExeCmd(CMD_GET_FIRMWARE_MODE) == EC_OK && m_RLen >= 1 &&
        m_ReplyInfo[0] <= kFirmwareModeMax)
        mode = m_ReplyInfo[0];
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
    m_bSupportBB = true;
    const int result = _ExeCmd(CMD_GET_SECURITY_CODE);
    if (result == EC_OK && dst) copyText(dst, m_ReplyInfo, m_RLen, kSecurityCodeLen);
    log.SetRet("Return:%d", result);
    return result;
}

int CSeal::setSecurityCodeHelp(const char* code)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "setSecurityCodeHelp");
    unsigned char payload[kSecurityCodeLen];
    padded(payload, code);
    m_bSupportBB = true;
    const int result = _ExeCmd(CMD_SET_SECURITY_CODE, payload, sizeof payload);
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
