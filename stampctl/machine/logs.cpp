// The machine's two logs: the alarm log, and the records of abnormal side-door openings, which
// must be read and cleared before the machine accepts more openings.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/thread_texts.h"
#include "stampctl/core/trace.h"
#include "stampctl/machine/texts.h"
#include "stampctl/seal.h"

using namespace stampctl;
using stampctl::link::Board;
using stampctl::link::Reply;

namespace {
constexpr char kLogSeparator = ';';
constexpr int kMaxRecordsRead = 10;
constexpr unsigned long kMaxRecordSize = 56;
constexpr unsigned char kRecordCountQuery = 0;
constexpr size_t kAlarmLogSize = 4096;
constexpr size_t kRecordsTextSize = 1024;  // the joined records, terminator included
}  // namespace

const char* CSeal::_inqAlarmLog()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_inqAlarmLog 查询报警日志");
    char* text = freshText();
    Reply reply;
    int result = ExeMainBoardCmd(CMD_GET_ALARM_LOG_COUNT, nullptr, 0, &reply);
    if (result == EC_OK) {
        const int count = reply.dataLen > 0 ? reply.data[0] : 0;
        for (int i = 0; i < count; ++i) {
            const unsigned char index = static_cast<unsigned char>(i);
            result = _ExeCmd(CMD_GET_ALARM_LOG_ENTRY, &index, 1, &reply);
            if (result != EC_OK) break;
            // A full machine reports more than the text holds: it ends with the last entry that
            // fits whole, and the trace says how many were left out.
            if (!appendEntry(text, kAlarmLogSize, reinterpret_cast<const char*>(reply.data), reply.dataLen,
                             kLogSeparator)) {
                TrcWritef(kTraceInfo, "_inqAlarmLog m_OutInfo full, entries:%d of count:%d", i, count);
                break;
            }
        }
    }
    log.SetRet("return:%d, m_OutInfo:%s", result, text);
    return result == EC_OK ? text : GetError(result);
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
    Reply reply;
    int result = _ExeCmd(CMD_READ_BACKDOOR_EXCEPTION, &kRecordCountQuery, 1, &reply, Board::Either);
    if (result != EC_OK || reply.dataLen == 0 || reply.data[0] == 0) {
        log.SetRet("return:%d", result);
        return result;
    }
    const int count = std::min<int>(reply.data[0], kMaxRecordsRead);
    for (int i = 1; i <= count; ++i) {
        const unsigned char index = static_cast<unsigned char>(i);
        result = _ExeCmd(CMD_READ_BACKDOOR_EXCEPTION, &index, 1, &reply, Board::Either);
        if (result != EC_OK) {
            log.SetRet("return:%d, %d", result, i);
            return result;
        }
        if (reply.dataLen > kMaxRecordSize) continue;
        // The record runs up to the checksum; zero padding behind the reason is not part of it.
        out.push_back(reply.text(reply.dataLen));
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
    char* text = freshText();
    if (!joinWhole(records, kLogSeparator, text, kRecordsTextSize)) {
        const char* failure = GetError(EC_TEXT_TOO_LONG);
        log.SetRet("Return fail data error:%s", failure);
        return failure;
    }
    log.SetRet("Return success:%s", text);
    return text;
}

int CSeal::_delOpenBackDoorExceptionInfo()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "_delOpenBackDoorExceptionInfo");
    int result = initCheckBb();
    if (result == EC_OK) result = _ExeCmd(CMD_DEL_BACKDOOR_EXCEPTION, nullptr, 0, nullptr, Board::Either);
    log.SetRet("Return Code:%d", result);
    return result;
}
