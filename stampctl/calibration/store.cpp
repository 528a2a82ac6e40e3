// The calibration record: read from the machine once per connection, reloaded after each
// download, handed to callers whole.
#include "stampctl/calibration/store.h"

#include <cstdio>

#include "stampctl/calibration/blocks.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"

namespace stampctl::calibration {

using link::Reply;

namespace {
constexpr size_t kCircleTextSize = 128;
}  // namespace

void Store::traceSealOffsets(const Record& r)
{
    for (int seal = 1; seal <= kSealCount; ++seal) {
        const int k = (seal - 1) * kAnglesPerSeal;
        const auto& x = r.m_JZOffsetX;
        const auto& y = r.m_JZOffsetY;
        TrcWritef(kTraceInfo, "%d号章：(%d,%d)-(%d,%d)-(%d,%d)-(%d,%d)", seal, x[k], y[k], x[k + 1], y[k + 1], x[k + 2],
                  y[k + 2], x[k + 3], y[k + 3]);
    }
}

Record Store::record() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_record;
}

void Store::publish(const Record& record)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_record = record;
}

int Store::load()
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "RecvPointInfo");
    Reply reply;
    int result = m_link.execute(CMD_GET_POINT_INFO, nullptr, 0, &reply);
    // A block that did not arrive whole would read as a calibration of zeros.
    if (result == EC_OK && reply.dataLen < kBaseBlockUsed) result = EC_NO_VALID_REPLY;
    if (result != EC_OK) {
        log.SetRet("return %d", result);
        return result;
    }

    // Built aside and stored whole: a stamp never maps through half a record.
    Record r;
    const uint8_t* base = reply.data;
    r.m_A4ShortSide = readLe16(base + kOffShortSide);
    r.m_A4LongSide = readLe16(base + kOffLongSide);
    TrcWritef(kTraceInfo, "A4短边:%d, A4长边:%d", r.m_A4ShortSide, r.m_A4LongSide);

    char circles[kCircleTextSize] = {};
    size_t used = 0;
    for (int i = 0; i < kCircleCount; ++i) {
        r.m_JZCircle[i].x = readLe16(base + kOffCircles + 4 * i);
        r.m_JZCircle[i].y = readLe16(base + kOffCircles + 4 * i + 2);
        used += std::snprintf(circles + used, sizeof circles - used, "(%d,%d)", r.m_JZCircle[i].x, r.m_JZCircle[i].y);
    }
    TrcWritef(kTraceInfo, "主圆基准坐标:%s", circles);

    for (int seal = 0; seal < kSealCount; ++seal) {
        r.m_JZOffsetX[seal * kAnglesPerSeal] = readLe16(base + kOffZeroDegree + 4 * seal);
        r.m_JZOffsetY[seal * kAnglesPerSeal] = readLe16(base + kOffZeroDegree + 4 * seal + 2);
    }

    // The rotated corrections stay 0 when they cannot be read; what was read above stands.
    result = m_link.execute(CMD_GET_ROTATE_POINTS, nullptr, 0, &reply);
    if (result == EC_OK && reply.dataLen < kRotateBlockSize) result = EC_NO_VALID_REPLY;
    if (result == EC_OK) {
        for (int e = 0; e < kRotateEntries; ++e) {
            const int k = recordIndexOfRotation(e);
            decodeRotation(reply.data + e * kRotateEntrySize, r.m_JZOffsetX[k], r.m_JZOffsetY[k]);
        }
    }
    publish(r);
    traceSealOffsets(r);
    log.SetRet("return %d", result);
    return result;
}

int Store::ensureLoaded(bool& fetched)
{
    const Record loaded = record();
    fetched = loaded.m_A4LongSide <= 0;
    if (!fetched) {
        traceSealOffsets(loaded);
        return EC_OK;
    }
    const int result = load();
    // Not loaded: the next caller tries again.
    if (result != EC_OK) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_record.m_A4LongSide = 0;
    }
    return result;
}

int Store::download(CMD_DEF cmd, const unsigned char* block, int len)
{
    int result = m_link.execute(cmd, block, len);
    if (result == EC_OK) result = load();
    return result;
}

void Store::forget()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_record.m_A4ShortSide = 0;
    m_record.m_A4LongSide = 0;
}

}  // namespace stampctl::calibration
