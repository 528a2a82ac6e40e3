// The seals' RFID tags and their binding to slots: with binding on, a stamp is refused unless
// the seal in the chosen slot is the one bound to it.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;

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

char* CSeal::_getRFID()
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "_getRFID");
    std::memset(m_SloatInfo, 0, sizeof m_SloatInfo);
    m_rfidList.clear();

    std::vector<std::string> present;
    if (GetSloatInfo() == EC_OK && _ExeCmd(CMD_GET_RFID, &kRfidQuery, 1) == EC_OK &&
        m_RLen >= kRfidBlockSize) {
        // The block stays in the reply data: binding and calibration take it from there.
        m_rfidList = tagTexts(m_ReplyInfo, kSlotCount);
        for (int n = 1; n <= kSlotCount; ++n)
            if (m_slotHasSeal[n - 1]) present.push_back(m_rfidList[n - 1] + "_" + std::to_string(n));
    }
    const std::string text = joined(present, "#", false);
    std::snprintf(m_SloatInfo, sizeof m_SloatInfo, "%s", text.c_str());
    log.SetRet("return %s", m_SloatInfo);
    return m_SloatInfo;
}

int CSeal::GetJiaozhunRFID()
{
    if (!m_jzRfidList.empty()) return EC_OK;
    int result = _ExeCmd(CMD_GET_BIND_INFO);
    if (result != EC_OK) return result;
    // A block that did not arrive whole would read as tags of zeros.
    if (m_RLen < kBindInfoSize) return EC_NO_VALID_REPLY;

    m_jzRfidList = tagTexts(m_ReplyInfo + kBindCalibrated, kSlotCount);
    m_bIsBindRFID2Slot = m_ReplyInfo[kBindFlag] == kBindOn;
    m_bindRfidList = tagTexts(m_ReplyInfo + kBindBound, kSlotCount);
    TrcWritef(kTraceInfo,
              "CSeal::GetJiaozhunRFID return:%d, m_bIsBindRFID2Slot:%d, 获取校准时的RFID:%s",
              result, m_bIsBindRFID2Slot ? 1 : 0, joined(m_jzRfidList, ",", false).c_str());
    return EC_OK;
}

int CSeal::_BindRFIDAndSlot(int iBind)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CW32_STAMP::_BindRFIDAndSlot bBind:%d, iBind:%d",
                  m_bIsBindRFID2Slot ? 1 : 0, iBind);
    const bool bind = iBind == 1;
    unsigned char block[kBindInfoSize] = {};

    int result = _ExeCmd(CMD_GET_BIND_INFO);
    // Writing back a short block would wipe the tags recorded at calibration.
    if (result == EC_OK && m_RLen < kBindInfoSize) result = EC_NO_VALID_REPLY;
    if (result != EC_OK) {
        log.SetRet("return %d", result);
        return result;
    }
    std::memcpy(block + kBindCalibrated, m_ReplyInfo + kBindCalibrated, kRfidBlockSize);

    if (bind) {
        _getRFID();
        if (m_rfidList.empty()) {
            log.SetRet("return %d", EC_NO_VALID_REPLY);
            return EC_NO_VALID_REPLY;
        }
        block[kBindFlag] = kBindOn;
        std::memcpy(block + kBindBound, m_ReplyInfo, kRfidBlockSize);
    }

    result = _ExeCmd(CMD_SET_BIND_INFO, block, sizeof block);
    if (result == EC_OK) {
        m_bIsBindRFID2Slot = bind;
        m_jzRfidList.clear();
        GetJiaozhunRFID();
    }
    log.SetRet("return %d", result);
    return result;
}

int CSeal::IsSlotRFIDOk(int idxSlot)
{
    if (m_config.checkBing != "yes") return EC_OK;
    // A seal number out of range is refused by the stamp itself, not by the binding.
    if (idxSlot < 0 || idxSlot >= kSlotCount) return EC_OK;
    _getRFID();
    const size_t slots = static_cast<size_t>(kSlotCount);
    if (m_rfidList.size() != slots || m_bindRfidList.size() != slots || !m_bIsBindRFID2Slot)
        return EC_OK;

    const std::string& current = m_rfidList[idxSlot];
    if (current == m_bindRfidList[idxSlot]) {
        TrcWritef(kTraceInfo, "CSeal::IsSlotRFIDOk return:%d, idxSlot:%d, m_bindDetail:%s", EC_OK,
                  idxSlot, m_bindDetail);
        return EC_OK;
    }

    std::memset(m_bindDetail, 0, sizeof m_bindDetail);
    int boundTo = 0;
    for (int n = 1; n <= kSlotCount && boundTo == 0; ++n)
        if (m_bindRfidList[n - 1] == current) boundTo = n;
    if (boundTo > 0)
        std::snprintf(m_bindDetail, sizeof m_bindDetail, "该印章已绑定到%d号槽位, 不允许盖章",
                      boundTo);
    else
        std::snprintf(m_bindDetail, sizeof m_bindDetail, "该印章未绑定, 不允许盖章");

    TrcWritef(kTraceInfo, "CSeal::IsSlotRFIDOk return:%d, idxSlot:%d, m_bindDetail:%s",
              EC_BIND_MISMATCH, idxSlot, m_bindDetail);
    TrcWritef(kTraceInfo, "CSeal::IsSlotRFIDOk 当前RFID序列:%s",
              joined(m_rfidList, ", ", true).c_str());
    TrcWritef(kTraceInfo, "CSeal::IsSlotRFIDOk 已绑定RFID序列:%s",
              joined(m_bindRfidList, ", ", true).c_str());
    return EC_BIND_MISMATCH;
}
