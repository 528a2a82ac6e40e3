// The machine's two logs: the alarm log, and the records of abnormal side-door openings, which
// must be read and cleared before the machine accepts more openings.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/machine/texts.h"
#include "stampctl/seal.h"

using namespace stampctl;

namespace {
constexpr char kLogSeparator = ';';
constexpr int kMaxRecordsRead = 10;
constexpr unsigned long kMaxRecordSize = 56;
constexpr unsigned char kRecordCountQuery = 0;
}  // namespace

const char* CSeal::_inqAlarmLog()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_inqAlarmLog 查询报警日志");
    std::memset(m_OutInfo, 0, sizeof m_OutInfo);
    int result = ExeMainBoardCmd(CMD_GET_ALARM_LOG_COUNT);
    if (result == EC_OK) {
        const int count = m_RLen > 0 ? m_ReplyInfo[0] : 0;
        for (int i = 0; i < count; ++i) {
            const unsigned char index = static_cast<unsigned char>(i);
            result = _ExeCmd(CMD_GET_ALARM_LOG_ENTRY, &index, 1);
            if (result != EC_OK) break;
            // A full machine reports more than the text holds: it ends with the last entry that
            // fits whole, and the trace says how many were left out.
            if (!appendEntry(m_OutInfo, sizeof m_OutInfo,
                             reinterpret_cast<const char*>(m_ReplyInfo), m_RLen, kLogSeparator)) {
                TrcWritef(kTraceInfo, "_inqAlarmLog m_OutInfo full, entries:%d of count:%d", i,
                          count);
                break;
            }
        }
    }
    log.SetRet("return:%d, m_OutInfo:%s", result, m_OutInfo);
    return result == EC_OK ? m_OutInfo : GetError(result);
}

int CSeal::_delAlarmLog()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_delAlarmLog 删除报警日志");
    const int result = initCheckZb();
    if (result != EC_OK) {
        log.SetRet("Return Code:%d", result);
        return result;
    }
    return _ExeCmd(CMD_DEL_ALARM_LOG);
}

int CSeal::ReadExceptionInfo(std::vector<std::string>& out)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "ReadExceptionInfo");
    out.clear();
    m_bSupportBB = true;
    int result = _ExeCmd(CMD_READ_BACKDOOR_EXCEPTION, &kRecordCountQuery, 1);
    if (result != EC_OK || m_RLen == 0 || m_ReplyInfo[0] == 0) {
        log.SetRet("return:%d", result);
        return result;
    }
    const int count = std::min<int>(m_ReplyInfo[0], kMaxRecordsRead);
    for (int i = 1; i <= count; ++i) {
        const unsigned char index = static_cast<unsigned char>(i);
        m_bSupportBB = true;
        result = _ExeCmd(CMD_READ_BACKDOOR_EXCEPTION, &index, 1);
        if (result != EC_OK) {
            log.SetRet("return:%d, %d", result, i);
            return result;
        }
        if (m_RLen > kMaxRecordSize) continue;
        // The record runs up to the checksum; zero padding behind the reason is not part of it.
        const char* text = reinterpret_cast<const char*>(m_ReplyInfo);
        out.emplace_back(text, strnlen(text, m_RLen));
    }
    log.SetRet("return:%d", EC_OK);
    return EC_OK;
}

const char* CSeal::_readOpenBackDoorExceptionInfo()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "_readOpenBackDoorExceptionInfo");
    int result = initCheckBb();
    if (result != EC_OK) {
        const char* text = GetError(result);
        log.SetRet("Return:%d, %s", result, text);
        return text;
    }
    std::vector<std::string> records;
    result = ReadExceptionInfo(records);
    if (result != EC_OK) {
        const char* text = GetError(result);
        log.SetRet("Return :%s", text);
        return text;
    }
    if (!joinWhole(records, kLogSeparator, m_SloatInfo, sizeof m_SloatInfo)) {
        const char* text = GetError(EC_TEXT_TOO_LONG);
        log.SetRet("Return fail data error:%s", text);
        return text;
    }
    log.SetRet("Return success:%s", m_SloatInfo);
    return m_SloatInfo;
}

int CSeal::_delOpenBackDoorExceptionInfo()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "_delOpenBackDoorExceptionInfo");
    int result = initCheckBb();
    if (result == EC_OK) {
        m_bSupportBB = true;
        result = _ExeCmd(CMD_DEL_BACKDOOR_EXCEPTION);
    }
    log.SetRet("Return Code:%d", result);
    return result;
}
