// Automatic calibration: seal 1 stamps the four calibration points and every other seal its own
// check point on a white sheet; the document camera photographs the sheet, and the circles found
// in the photo become the calibration record.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "stampctl/calibration/autocheck.h"
#include "stampctl/calibration/blocks.h"
#include "stampctl/core/paths.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"
#include "stampctl/link/access_code.h"
#include "stampctl/seal.h"

using namespace stampctl;

namespace {

struct MachinePoint {
    int x;
    int y;
};
// Machine millimetres of calibration circles 1 to 4, stamped with seal 1.
constexpr MachinePoint g_PointCheck[4] = {{85, 35}, {230, 35}, {85, 270}, {230, 270}};
// The check point of seal k is (g_PointCheckX[k - 1], g_PointCheckY[k - 1]).
constexpr int g_PointCheckX[CSeal::kSlotCount] = {85, 230, 85, 230, 85, 230};
constexpr int g_PointCheckY[CSeal::kSlotCount] = {90, 90, 150, 150, 210, 210};

constexpr int kCalibrated = 0;
constexpr int kFailed = -1;
constexpr size_t kMsgSize = 1024;
constexpr size_t kSlotTextKept = 100;
constexpr int kCameraRunning = 1;
constexpr int kPhotoFullOnly = 1;  // the whole photo, no crop
constexpr int kGridRows = 5;
constexpr int kGridCols = 2;
constexpr size_t kGridCells = kGridRows * kGridCols;
// Result-list entries (0-based): circles 1 and 2, the check stamps of seals 1 to 6, circles 3
// and 4.
constexpr int kMainEntry[4] = {0, 1, 8, 9};
constexpr int kFirstSealEntry = 2;
constexpr int kHundredthsPerMm = 100;

const char* const kCutPictureFile = "/cut/jiaozhun.jpg";

void putLe16(unsigned char* at, int value)
{
    const auto v = static_cast<uint16_t>(static_cast<int16_t>(value));
    at[0] = static_cast<unsigned char>(v & 0xFF);
    at[1] = static_cast<unsigned char>(v >> 8);
}

// Appends to a fixed-size text, never past its end.
void appendf(char* text, size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
void appendf(char* text, size_t size, const char* fmt, ...)
{
    const size_t used = std::strlen(text);
    if (used + 1 >= size) return;
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text + used, size - used, fmt, args);
    va_end(args);
}

// Which way the camera should turn so that two circles that ought to line up do.
std::string cameraAdvice(int d)
{
    char advice[64];
    if (d > 0)
        std::snprintf(advice, sizeof advice, "摄像头逆时针旋转%d个像素", d);
    else if (d < 0)
        std::snprintf(advice, sizeof advice, "摄像头顺时针旋转%d个像素", -d);
    else
        std::snprintf(advice, sizeof advice, "不必调整摄像头");
    return advice;
}

}  // namespace

namespace stampctl::calibration {

void AutoCheckReport(char* text, size_t size, const bool calibrated[CSeal::kSlotCount + 1],
                     const CSeal::JZPoint mains[CSeal::kJZCircleCount])
{
    if (!text || size == 0) return;
    const CSeal::JZPoint& m1 = mains[0];
    const CSeal::JZPoint& m2 = mains[1];
    const CSeal::JZPoint& m3 = mains[2];
    std::snprintf(text, size, "1");
    for (int k = 2; k <= CSeal::kSlotCount; ++k)
        if (calibrated[k]) appendf(text, size, "、%d", k);
    appendf(text, size, "号章校准成功\r\n");
    const int across = m3.x - m1.x;
    appendf(text, size, "水平向，白纸上边X坐标(%d,%d), 差值:%d, 建议:%s\r\n", m3.x, m1.x,
            std::abs(across), cameraAdvice(across).c_str());
    const int down = m1.y - m2.y;
    appendf(text, size, "垂直向，白纸右边Y坐标(%d,%d), 差值:%d, 建议:%s\r\n", m1.y, m2.y,
            std::abs(down), cameraAdvice(down).c_str());
}

}  // namespace stampctl::calibration

int CSeal::_AutoCheckSeal(char* szMsg, short* lightFlags)
{
    TRC_LOGER log(TRC_LOGER::TRC_API, "CSeal::_AutoCheckSeal");
    const auto fail = [&](const char* message) {
        std::snprintf(szMsg, kMsgSize, "%s", message);
        TrcWritef(kTraceError, "_AutoCheckSeal %s", message);
        log.SetRet("return %d", kFailed);
        return kFailed;
    };
    std::memset(szMsg, 0, kMsgSize);
    const auto nStyle = [&](int seal) { return static_cast<char>(lightFlags[seal - 1] & 0xFF); };

    if (_isConnMachine() != EC_OK && _connMachine(kFactoryAccessCode) != EC_OK) return fail("连接印控仪失败");

    char machineNum[kMachineNumSize] = {};
    std::snprintf(machineNum, sizeof machineNum, "%s", _getMachineNum());
    char slots[kSlotTextKept] = {};
    std::snprintf(slots, sizeof slots, "%s", _querySloatInfo(machineNum));
    if (std::strchr(slots, '#')) return fail("获取卡槽信息失败");

    bool present[kSlotCount + 1] = {};
    bool anySeal = false;
    for (int k = 1; k <= kSlotCount; ++k) {
        const size_t at = 4 * (k - 1) + 2;
        present[k] = at < std::strlen(slots) && slots[at] == '1';
        anySeal = anySeal || present[k];
    }
    if (!anySeal) return fail("获取卡槽信息未检测到印章");

    if (_checkVideoState() != kCameraRunning && _openVideoCap() != EC_OK) return fail("打开摄像头失败");
    if (!present[1]) return fail("未检测到1号主章，无法校准");

    for (const MachinePoint& p : g_PointCheck)
        if (_directPrintStart(1, p.x, p.y, 0, nStyle(1)) != EC_OK) return fail("校准失败, 盖章失败");
    // A seal whose check stamp fails is simply not calibrated this time.
    for (int k = 2; k <= kSlotCount; ++k)
        if (present[k]) _directPrintStart(k, g_PointCheckX[k - 1], g_PointCheckY[k - 1], 0, nStyle(k));

    const std::string path = baseDir() + kCutPictureFile;
    if (_getImageFormat(path.c_str(), kPhotoFullOnly, 0, 0) != EC_OK) return fail("采集图片失败");

    CImgHelp* img = CImgHelp::Instance();
    img->revolveImg_90(path.c_str());
    std::vector<cv::Point> points;
    img->FindCircleByPaper(path.c_str(), kGridRows, kGridCols, points);
    if (points.size() != kGridCells) return fail("找圆失败");

    JZPoint mains[kJZCircleCount];
    bool mainsFound = true;
    char text[kMsgSize] = {};
    for (int i = 0; i < kJZCircleCount; ++i) {
        const cv::Point& m = points[kMainEntry[i]];
        mains[i] = JZPoint{m.x, m.y};
        mainsFound = mainsFound && m.x >= 0 && m.y >= 0;
        appendf(text, sizeof text, "%d:(%d,%d);", kMainEntry[i] + 1, m.x, m.y);
    }
    TrcWritef(kTraceInfo, "_AutoCheckSeal szMain:%s", text);
    text[0] = '\0';
    for (int k = 1; k <= kSlotCount; ++k) {
        const int e = kFirstSealEntry + k - 1;
        appendf(text, sizeof text, "%d:(%d,%d);", e + 1, points[e].x, points[e].y);
    }
    TrcWritef(kTraceInfo, "_AutoCheckSeal szOther:%s", text);
    int width = 0, height = 0;
    img->GetPaperWH(width, height);
    TrcWritef(kTraceInfo, "_AutoCheckSeal width:%d, height:%d", width, height);
    if (!mainsFound) return fail("找主圆失败");

    // Each seal's correction moves its stamps by what its check stamp missed by.
    int dx[kSlotCount + 1] = {}, dy[kSlotCount + 1] = {};
    bool calibrated[kSlotCount + 1] = {};
    for (int k = 2; k <= kSlotCount; ++k) {
        const cv::Point& s = points[kFirstSealEntry + k - 1];
        int mx = 0, my = 0;
        if (s.x > 0 && s.y > 0 && Pixel2MMByPoints(s.x, s.y, mx, my, mains)) {
            dx[k] = g_PointCheckX[k - 1] - mx;
            dy[k] = g_PointCheckY[k - 1] - my;
            calibrated[k] = true;
        }
    }
    text[0] = '\0';
    for (int k = 1; k <= kSlotCount; ++k) appendf(text, sizeof text, "diff %d:(%d,%d),", k, dx[k], dy[k]);
    TrcWritef(kTraceInfo, "%s", text);

    using namespace stampctl::calibration;
    unsigned char block[kBaseBlockSize] = {};
    putLe16(block + kOffShortSide, width);
    putLe16(block + kOffLongSide, height);
    for (int i = 0; i < kJZCircleCount; ++i) {
        putLe16(block + kOffCircles + 4 * i, mains[i].x);
        putLe16(block + kOffCircles + 4 * i + 2, mains[i].y);
    }
    for (int k = 1; k <= kSlotCount; ++k) {
        putLe16(block + kOffZeroDegree + 4 * (k - 1), dx[k] * kHundredthsPerMm);
        putLe16(block + kOffZeroDegree + 4 * (k - 1) + 2, dy[k] * kHundredthsPerMm);
    }
    text[0] = '\0';
    for (unsigned char b : block) appendf(text, sizeof text, "%02X", b);
    TrcWritef(kTraceInfo, "%s", text);
    if (_DownLoadBaseJZ(block, static_cast<int>(kBaseBlockSize), 1) != EC_OK) return fail("保存信息失败，校准失败");

    // Every angle of a seal gets the correction measured at 0 degrees.
    short rotX[kRotateEntries], rotY[kRotateEntries];
    for (int e = 0; e < kRotateEntries; ++e) {
        const int k = e / kRotatedPerSeal + 1;
        rotX[e] = static_cast<short>(dx[k] * kHundredthsPerMm);
        rotY[e] = static_cast<short>(dy[k] * kHundredthsPerMm);
    }
    _DownLoadRotateJZ(rotX, rotY);  // the base block is in: the calibration stands without it

    AutoCheckReport(szMsg, kMsgSize, calibrated, mains);
    TrcWritef(kTraceInfo, "%s", szMsg);
    log.SetRet("return %d", kCalibrated);
    return kCalibrated;
}
