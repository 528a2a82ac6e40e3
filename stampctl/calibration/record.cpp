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
constexpr size_t kRotateTraceSize = 512;
}  // namespace

int CSeal::RecvPointInfo() { return m_calibration.load(); }

CSeal::JZRecord CSeal::jzRecord() const { return m_calibration.record(); }

int CSeal::GetPointInfo()
{
    bool fetched = false;
    const int result = m_calibration.ensureLoaded(fetched);
    if (fetched) GetJiaozhunRFID();
    return result;
}

int CSeal::_GetAllJZInfo(short& longSide, short& shortSide, short* circleX, short* circleY, short* offsetX,
                         short* offsetY)
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
        for (int i = 0; i < kCircleCount; ++i) {
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

    int result = m_calibration.download(CMD_SET_BASE_POINTS, block, static_cast<int>(kBaseBlockSize));

    // The seals present are recorded only with a calibration that reached the machine, so that
    // a failed download is never reported as a success.
    if (saveRFID == kSaveRfid && result == EC_OK) {
        RfidRead read;
        const char* present = readRFID(read);
        if (present[0] != '\0') result = _ExeCmd(CMD_SET_BIND_INFO, read.block, static_cast<int>(read.blockLen));
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
        used += std::snprintf(text + used, sizeof text - used, "(%d:%d, %d:%d, %d:%d)", x[e], y[e], x[e + 1], y[e + 1],
                              x[e + 2], y[e + 2]);
    }
    TrcWritef(kTraceInfo, "%s", text);

    const int result = m_calibration.download(CMD_SET_ROTATE_POINTS, block, static_cast<int>(kRotateBlockSize));
    log.SetRet("return %d", result);
    return result;
}

// The mapping's operations under their own names, over a snapshot of the record.
double CSeal::Pixel2MM_ByRate(int p1, double mm1, int p2, double mm2, int p)
{
    return pixelToMmByRate(p1, mm1, p2, mm2, p);
}

double CSeal::Pixel2MM(int p1, double mm1, int p2, double mm2, int p) { return pixelToMm(p1, mm1, p2, mm2, p); }

bool CSeal::PicxyConvert(int& x, int& y, bool /*savedByRow: the camera's only layout*/)
{
    return turnSourcePixel(x, y);
}

double CSeal::Myhm2mm(short nHm) { return hundredthsToMm(nHm); }

bool CSeal::CheckMMOK(double& x, double& y)
{
    if (clampToTravel(x, y))
        TrcWritef(kTraceInfo, "=== CheckMMOK CheckMMOK 盖章坐标超界，强制校正(%0.2f, %0.2f)", x, y);
    return true;
}

int CSeal::_SrcPixelToMachineMM(int sealNo, int x, int y, int angle, double& mmX, double& mmY)
{
    return _SrcPixelToMachineMM(jzRecord(), sealNo, x, y, angle, mmX, mmY);
}

int CSeal::_SrcPixelToMachineMM(const JZRecord& record, int sealNo, int x, int y, int angle, double& mmX, double& mmY)
{
    const MachineMm mm = toMachineMm(record, sealNo, {x, y}, angle);
    mmX = mm.x;
    mmY = mm.y;
    return 0;
}

bool CSeal::Pixel2MMByPoints(int ix, int iy, int& ixOut, int& iyOut, const JZPoint* circles)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "Pixel2MMByPoints (%d, %d)", ix, iy);
    if (ix < 0 || iy < 0) {
        log.SetRet("ix:%d, iy:%d", ix, iy);
        return false;
    }
    if (!circles) {
        log.SetRet("circles:NULL");
        return false;
    }
    for (int i = 0; i < kCircleCount; ++i) {
        if (circles[i].x < 0 || circles[i].y < 0) {
            log.SetRet("i:%d,, x:%d, y:%d", i, circles[i].x, circles[i].y);
            return false;
        }
    }
    const JZPoint* c = circles;
    const CircleMap m = circleMap(c, ix, iy);
    TrcWritef(kTraceInfo, "getX:getY(%d:%d, %d:%d, %d:%d, %d:%d)", c[0].x, c[0].y, c[1].x, c[1].y, c[2].x, c[2].y,
              c[3].x, c[3].y);
    TrcWritef(kTraceInfo, "Pixel2MMByPoints fx1=%f,fx2=%f, fy1=%f,fy2=%f", m.fx1, m.fx2, m.fy1, m.fy2);
    ixOut = static_cast<int>(m.fxx);
    iyOut = static_cast<int>(m.fyy);
    TrcWritef(kTraceInfo, "Pixel2MMByPoints out ixOut=%d, iyOut=%d", ixOut, iyOut);
    log.SetRet("return bl:%d", 1);
    return true;
}

bool CSeal::Pixel2MMByPointsExact(int ix, int iy, double& mmX, double& mmY, const JZPoint* circles)
{
    MachineMm mm{};
    if (!mapByCircles(circles, ix, iy, mm)) return false;
    mmX = mm.x;
    mmY = mm.y;
    return true;
}
