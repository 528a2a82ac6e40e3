// The calibration record: read from the machine once per connection, written back by the
// calibration tools, handed to callers whole.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "stampctl/calibration/blocks.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;
using namespace stampctl::calibration;
using stampctl::link::Reply;

namespace {
constexpr short kSaveRfid = 1;
constexpr size_t kCircleTextSize = 128;
constexpr size_t kRotateTraceSize = 512;
}  // namespace

void CSeal::traceSealOffsets(const JZRecord& r)
{
    for (int seal = 1; seal <= kSealCount; ++seal) {
        const int k = (seal - 1) * kAnglesPerSeal;
        const auto& x = r.m_JZOffsetX;
        const auto& y = r.m_JZOffsetY;
        TrcWritef(kTraceInfo, "%d号章：(%d,%d)-(%d,%d)-(%d,%d)-(%d,%d)", seal, x[k], y[k], x[k + 1],
                  y[k + 1], x[k + 2], y[k + 2], x[k + 3], y[k + 3]);
    }
}

CSeal::JZRecord CSeal::jzRecord() const
{
    std::lock_guard<std::mutex> lock(m_jzLock);
    return m_jz;
}

void CSeal::setJzRecord(const JZRecord& record)
{
    std::lock_guard<std::mutex> lock(m_jzLock);
    m_jz = record;
}

int CSeal::RecvPointInfo()
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "RecvPointInfo");
    Reply reply;
    int result = _ExeCmd(CMD_GET_POINT_INFO, nullptr, 0, &reply);
    // A block that did not arrive whole would read as a calibration of zeros.
    if (result == EC_OK && reply.dataLen < kBaseBlockUsed) result = EC_NO_VALID_REPLY;
    if (result != EC_OK) {
        log.SetRet("return %d", result);
        return result;
    }

    // Built aside and stored whole: a stamp never maps through half a record.
    JZRecord r;
    const uint8_t* base = reply.data;
    r.m_A4ShortSide = readLe16(base + kOffShortSide);
    r.m_A4LongSide = readLe16(base + kOffLongSide);
    TrcWritef(kTraceInfo, "A4短边:%d, A4长边:%d", r.m_A4ShortSide, r.m_A4LongSide);

    char circles[kCircleTextSize] = {};
    size_t used = 0;
    for (int i = 0; i < kJZCircleCount; ++i) {
        r.m_JZCircle[i].x = readLe16(base + kOffCircles + 4 * i);
        r.m_JZCircle[i].y = readLe16(base + kOffCircles + 4 * i + 2);
        used += std::snprintf(circles + used, sizeof circles - used, "(%d,%d)", r.m_JZCircle[i].x,
                              r.m_JZCircle[i].y);
    }
    TrcWritef(kTraceInfo, "主圆基准坐标:%s", circles);

    for (int seal = 0; seal < kSealCount; ++seal) {
        r.m_JZOffsetX[seal * kAnglesPerSeal] = readLe16(base + kOffZeroDegree + 4 * seal);
        r.m_JZOffsetY[seal * kAnglesPerSeal] = readLe16(base + kOffZeroDegree + 4 * seal + 2);
    }

    // The rotated corrections stay 0 when they cannot be read; what was read above stands.
    result = _ExeCmd(CMD_GET_ROTATE_POINTS, nullptr, 0, &reply);
    if (result == EC_OK && reply.dataLen < kRotateBlockSize) result = EC_NO_VALID_REPLY;
    if (result == EC_OK) {
        for (int e = 0; e < kRotateEntries; ++e) {
            const int k = recordIndexOfRotation(e);
            decodeRotation(reply.data + e * kRotateEntrySize, r.m_JZOffsetX[k], r.m_JZOffsetY[k]);
        }
    }
    setJzRecord(r);
    traceSealOffsets(r);
    log.SetRet("return %d", result);
    return result;
}

int CSeal::GetPointInfo()
{
    const JZRecord loaded = jzRecord();
    if (loaded.m_A4LongSide > 0) {
        traceSealOffsets(loaded);
        return EC_OK;
    }
    const int result = RecvPointInfo();
    // Not loaded: the next caller tries again.
    if (result != EC_OK) {
        std::lock_guard<std::mutex> lock(m_jzLock);
        m_jz.m_A4LongSide = 0;
    }
    GetJiaozhunRFID();
    return result;
}

int CSeal::_GetAllJZInfo(short& longSide, short& shortSide, short* circleX, short* circleY,
                         short* offsetX, short* offsetY)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "_GetAllJZInfo");
    if (!circleX || !circleY || !offsetX || !offsetY) {
        log.SetRet("return %d", EC_BAD_PARAMETER);
        return EC_BAD_PARAMETER;
    }
    const int result = RecvPointInfo();
    if (result == EC_OK) {
        const JZRecord r = jzRecord();
        longSide = static_cast<short>(r.m_A4LongSide);
        shortSide = static_cast<short>(r.m_A4ShortSide);
        for (int i = 0; i < kJZCircleCount; ++i) {
            circleX[i] = static_cast<short>(r.m_JZCircle[i].x);
            circleY[i] = static_cast<short>(r.m_JZCircle[i].y);
        }
        std::copy(r.m_JZOffsetX.begin(), r.m_JZOffsetX.end(), offsetX);
        std::copy(r.m_JZOffsetY.begin(), r.m_JZOffsetY.end(), offsetY);
    }
    log.SetRet("return %d", result);
    return result;
}

int CSeal::_DownLoadBaseJZ(const unsigned char* data, int len, short saveRFID)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "_DownLoadBaseJZ saveRFID:%d", saveRFID);
    if (!data || len <= 0) {
        log.SetRet("return %d", EC_BAD_PARAMETER);
        return EC_BAD_PARAMETER;
    }
    // The machine always takes the whole block; what the caller did not give is zero.
    unsigned char block[kBaseBlockSize] = {};
    std::memcpy(block, data, std::min(static_cast<size_t>(len), kBaseBlockSize));

    int result = _ExeCmd(CMD_SET_BASE_POINTS, block, static_cast<int>(kBaseBlockSize));
    if (result == EC_OK) result = RecvPointInfo();

    // The seals present are recorded only with a calibration that reached the machine, so that
    // a failed download is never reported as a success.
    if (saveRFID == kSaveRfid && result == EC_OK) {
        RfidRead read;
        const char* present = readRFID(read);
        if (present[0] != '\0')
            result = _ExeCmd(CMD_SET_BIND_INFO, read.block, static_cast<int>(read.blockLen));
        TrcWritef(kTraceInfo, "CW32_STAMP::SetJiaozhunRFID return:%d, 保存校准时的RFID信息", result);
    }
    log.SetRet("return %d", result);
    return result;
}

int CSeal::_DownLoadRotateJZ(const short* x, const short* y)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "_DownLoadRotateJZ");
    if (!x || !y) {
        log.SetRet("return %d", EC_BAD_PARAMETER);
        return EC_BAD_PARAMETER;
    }
    for (int e = 0; e < kRotateEntries; ++e) {
        // A larger magnitude would overwrite its neighbour's bits and sign.
        if (std::abs(x[e]) > kRotateMagnitudeLimit || std::abs(y[e]) > kRotateMagnitudeLimit) {
            TrcWritef(kTraceError, "_DownLoadRotateJZ entry %d (%d:%d) beyond %d", e, x[e], y[e],
                      kRotateMagnitudeLimit);
            log.SetRet("return %d", EC_BAD_PARAMETER);
            return EC_BAD_PARAMETER;
        }
    }

    uint8_t block[kRotateBlockSize];
    char text[kRotateTraceSize] = "SendRotatePointInfo:";
    size_t used = std::strlen(text);
    for (int e = 0; e < kRotateEntries; ++e) encodeRotation(x[e], y[e], block + e * kRotateEntrySize);
    for (int seal = 0; seal < kSealCount; ++seal) {
        const int e = seal * kRotatedPerSeal;
        used += std::snprintf(text + used, sizeof text - used, "(%d:%d, %d:%d, %d:%d)", x[e], y[e],
                              x[e + 1], y[e + 1], x[e + 2], y[e + 2]);
    }
    TrcWritef(kTraceInfo, "%s", text);

    int result = _ExeCmd(CMD_SET_ROTATE_POINTS, block, static_cast<int>(kRotateBlockSize));
    if (result == EC_OK) result = RecvPointInfo();
    log.SetRet("return %d", result);
    return result;
}
