// The seals' RFID tags and their binding to slots: with binding on, a stamp is refused unless
// the seal in the chosen slot is the one bound to it.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/thread_texts.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;
using stampctl::link::Reply;

namespace {
constexpr size_t kTagSize = 4;
constexpr size_t kRfidBlockSize = 6 * kTagSize;  // one tag per slot, slot order
// The bind-information block: calibration-time tags, the binding flag, the bound tags.
constexpr size_t kBindCalibrated = 0;
constexpr size_t kBindFlag = kRfidBlockSize;
constexpr size_t kBindBound = kBindFlag + 1;
constexpr size_t kBindInfoSize = kBindBound + kRfidBlockSize;
constexpr unsigned char kBindOn = 1;
constexpr unsigned char kRfidQuery = 0;
constexpr size_t kRfidTextSize = 1024;

std::string tagText(const unsigned char* tag)
{
    char text[2 * kTagSize + 1];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X", tag[0], tag[1], tag[2], tag[3]);
    return text;
}

std::vector<std::string> tagTexts(const unsigned char* block, int count)
{
    std::vector<std::string> tags;
    for (int n = 0; n < count; ++n) tags.push_back(tagText(block + n * kTagSize));
    return tags;
}

std::string joined(const std::vector<std::string>& texts, const char* sep, bool leading)
{
    std::string out;
    for (const std::string& t : texts) {
        if (leading || !out.empty()) out += sep;
        out += t;
    }
    return out;
}

}  // namespace

char* CSeal::readRFID(RfidRead& read)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "_getRFID");
    read = RfidRead{};

    std::vector<std::string> present;
    Reply reply;
    if (GetSloatInfo(read.hasSeal, nullptr) == EC_OK && _ExeCmd(CMD_GET_RFID, &kRfidQuery, 1, &reply) == EC_OK &&
        reply.dataLen >= kRfidBlockSize) {
        read.tags = tagTexts(reply.data, kSlotCount);
        std::memcpy(read.block, reply.data, reply.dataLen);
        read.blockLen = reply.dataLen;
        for (int n = 1; n <= kSlotCount; ++n)
            if (read.hasSeal[n - 1]) present.push_back(read.tags[n - 1] + "_" + std::to_string(n));
    }
    {
        std::lock_guard<std::mutex> lock(m_machineLock);
        m_rfidList = read.tags;
    }
    char* text = freshText();
    std::snprintf(text, kRfidTextSize, "%s", joined(present, "#", false).c_str());
    log.SetRet("return %s", text);
    return text;
}

char* CSeal::_getRFID()
{
    RfidRead read;
    return readRFID(read);
}

std::vector<std::string> CSeal::rfidList() const
{
    std::lock_guard<std::mutex> lock(m_machineLock);
    return m_rfidList;
}

bool CSeal::bindingOn() const
{
    std::lock_guard<std::mutex> lock(m_machineLock);
    return m_bIsBindRFID2Slot;
}

int CSeal::GetJiaozhunRFID()
{
    {
        std::lock_guard<std::mutex> lock(m_machineLock);
        if (!m_jzRfidList.empty()) return EC_OK;
    }
    Reply reply;
    int result = _ExeCmd(CMD_GET_BIND_INFO, nullptr, 0, &reply);
    if (result != EC_OK) return result;
    // A block that did not arrive whole would read as tags of zeros.
    if (reply.dataLen < kBindInfoSize) return EC_NO_VALID_REPLY;

    const std::vector<std::string> calibrated = tagTexts(reply.data + kBindCalibrated, kSlotCount);
    const bool bindingOn = reply.data[kBindFlag] == kBindOn;
    {
        std::lock_guard<std::mutex> lock(m_machineLock);
        m_jzRfidList = calibrated;
        m_bIsBindRFID2Slot = bindingOn;
        m_bindRfidList = tagTexts(reply.data + kBindBound, kSlotCount);
    }
    TrcWritef(kTraceInfo, "CSeal::GetJiaozhunRFID return:%d, m_bIsBindRFID2Slot:%d, 获取校准时的RFID:%s", result,
              bindingOn ? 1 : 0, joined(calibrated, ",", false).c_str());
    return EC_OK;
}

int CSeal::_BindRFIDAndSlot(int iBind)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CW32_STAMP::_BindRFIDAndSlot bBind:%d, iBind:%d", bindingOn() ? 1 : 0, iBind);
    const bool bind = iBind == 1;
    unsigned char block[kBindInfoSize] = {};

    Reply reply;
    int result = _ExeCmd(CMD_GET_BIND_INFO, nullptr, 0, &reply);
    // Writing back a short block would wipe the tags recorded at calibration.
    if (result == EC_OK && reply.dataLen < kBindInfoSize) result = EC_NO_VALID_REPLY;
    if (result != EC_OK) {
        log.SetRet("return %d", result);
        return result;
    }
    std::memcpy(block + kBindCalibrated, reply.data + kBindCalibrated, kRfidBlockSize);

    if (bind) {
        RfidRead read;
        readRFID(read);
        if (read.tags.empty()) {
            log.SetRet("return %d", EC_NO_VALID_REPLY);
            return EC_NO_VALID_REPLY;
        }
        block[kBindFlag] = kBindOn;
        std::memcpy(block + kBindBound, read.block, kRfidBlockSize);
    }

    result = _ExeCmd(CMD_SET_BIND_INFO, block, sizeof block);
    if (result == EC_OK) {
        {
            std::lock_guard<std::mutex> lock(m_machineLock);
            m_bIsBindRFID2Slot = bind;
            m_jzRfidList.clear();
        }
        GetJiaozhunRFID();
    }
    log.SetRet("return %d", result);
    return result;
}

int CSeal::IsSlotRFIDOk(int idxSlot) { return IsSlotRFIDOk(*config(), idxSlot); }

int CSeal::IsSlotRFIDOk(const SealConfig& config, int idxSlot)
{
    if (!config.checkBing) return EC_OK;
    // A seal number out of range is refused by the stamp itself, not by the binding.
    if (idxSlot < 0 || idxSlot >= kSlotCount) return EC_OK;
    RfidRead read;
    readRFID(read);
    std::vector<std::string> bound;
    bool bindingOn;
    {
        std::lock_guard<std::mutex> lock(m_machineLock);
        bound = m_bindRfidList;
        bindingOn = m_bIsBindRFID2Slot;
    }
    const std::vector<std::string>& tags = read.tags;
    const size_t slots = static_cast<size_t>(kSlotCount);
    if (tags.size() != slots || bound.size() != slots || !bindingOn) return EC_OK;

    const std::string& current = tags[idxSlot];
    if (current == bound[idxSlot]) {
        TrcWritef(kTraceInfo, "CSeal::IsSlotRFIDOk return:%d, idxSlot:%d, m_bindDetail:%s", EC_OK, idxSlot,
                  bindDetail().c_str());
        return EC_OK;
    }

    char detail[kBindDetailSize] = {};
    int boundTo = 0;
    for (int n = 1; n <= kSlotCount && boundTo == 0; ++n)
        if (bound[n - 1] == current) boundTo = n;
    if (boundTo > 0)
        std::snprintf(detail, sizeof detail, "该印章已绑定到%d号槽位, 不允许盖章", boundTo);
    else
        std::snprintf(detail, sizeof detail, "该印章未绑定, 不允许盖章");
    {
        std::lock_guard<std::mutex> lock(m_machineLock);
        std::memcpy(m_bindDetail, detail, sizeof detail);
    }

    TrcWritef(kTraceInfo, "CSeal::IsSlotRFIDOk return:%d, idxSlot:%d, m_bindDetail:%s", EC_BIND_MISMATCH, idxSlot,
              detail);
    TrcWritef(kTraceInfo, "CSeal::IsSlotRFIDOk 当前RFID序列:%s", joined(tags, ", ", true).c_str());
    TrcWritef(kTraceInfo, "CSeal::IsSlotRFIDOk 已绑定RFID序列:%s", joined(bound, ", ", true).c_str());
    return EC_BIND_MISMATCH;
}

std::string CSeal::bindDetail() const
{
    std::lock_guard<std::mutex> lock(m_machineLock);
    return m_bindDetail;
}
