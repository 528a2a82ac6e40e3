// Automatic calibration: seal 1 stamps the four calibration points and every other seal its own
// check point on a white sheet; the document camera photographs the sheet, and the circles found
// in the photo become the calibration record.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "stampctl/calibration/autocheck.h"
#include "stampctl/calibration/blocks.h"
#include "stampctl/calibration/projective.h"
#include "stampctl/core/facts.h"
#include "stampctl/core/paths.h"
#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"
#include "stampctl/imaging/picture_file.h"
#include "stampctl/seal.h"

using namespace stampctl;

namespace {

struct MachinePoint {
    int x;
    int y;
};
// Machine millimetres of calibration circles 1 to 4, stamped with seal 1.
constexpr int kLeft = static_cast<int>(kCalibrationLeftMm);
constexpr int kRight = static_cast<int>(kCalibrationRightMm);
constexpr MachinePoint g_PointCheck[4] = {{kLeft, static_cast<int>(kCalibrationTopMm)},
                                          {kRight, static_cast<int>(kCalibrationTopMm)},
                                          {kLeft, static_cast<int>(kCalibrationBottomMm)},
                                          {kRight, static_cast<int>(kCalibrationBottomMm)}};
// The check point of seal k is (g_PointCheckX[k - 1], g_PointCheckY[k - 1]).
constexpr int g_PointCheckX[CSeal::kSlotCount] = {kLeft, kRight, kLeft, kRight, kLeft, kRight};
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
const char* const kBlankPictureFile = "/cut/jiaozhun_blank.jpg";
const char* const kNotBlankMessage = "校准纸不是空白纸或未放正";

// The calibration points' rectangle, and how far the main circles found may lie off it at their
// own best scale and turn. Measured on the simulated machine: on blank sheets turned up to 3
// degrees the circles lie 0.40 mm off (the camera's pixels are 0.5 % wider than high), at a scale
// within 0.6 % of the stored sheet's; circles stamped over a printed page and pulled by the print
// lie 3.2 mm off at a scale 5.4 % too small.
constexpr double kMainToleranceMm = 1.5;
constexpr double kScaleTolerance = 0.04;
// Mechanical offsets of a seal are a few millimetres (the simulated seals up to 3.6 mm); a check
// impression farther than this from its point is something else in the cell (print, a smudge).
// The stored corrections could hold up to 9.99 mm.
constexpr double kSealReachMm = 6.0;
// Before stamping: a place counts as blank while at most this share of it is dark. Blank sheets
// gave 0 in every place (101 places, turned up to 3 degrees: noise never reaches the sheet
// threshold); a printed page gave 6 % (one line of text across a seal's place) to 56 %.
constexpr double kBlankInkShare = 0.005;
constexpr double kSealRadiusMm = 20;       // a 40 mm seal
constexpr double kBlankCheckMarginMm = 3;  // the impression may land this much off

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

// The photo just taken, turned a quarter as the circles' record counts its pixels; the turned
// picture replaces the photo's file and is handed on as it is, not read back.
cv::Mat turnedPhoto(const std::string& path)
{
    const cv::Mat photo = imaging::readPicture(path, cv::IMREAD_COLOR);
    if (photo.empty()) {
        TrcWritef(kTraceInfo, "_AutoCheckSeal photo not readable(path:%s)", path.c_str());
        return {};
    }
    const cv::Mat turned = CImgHelp::TurnQuarterLeft(photo);
    CImgHelp::SavePic(path.c_str(), turned, 0);
    return turned;
}

// The machine positions stamped: the calibration points, then each other present seal's check point.
std::vector<cv::Point2d> plannedStamps(const bool present[CSeal::kSlotCount + 1])
{
    std::vector<cv::Point2d> at;
    for (const MachinePoint& p : g_PointCheck) at.emplace_back(p.x, p.y);
    for (int k = 2; k <= CSeal::kSlotCount; ++k)
        if (present[k]) at.emplace_back(g_PointCheckX[k - 1], g_PointCheckY[k - 1]);
    return at;
}

// A machine position in the turned photo, interpolated between the stored circles (the inverse
// of the four-circle map, close enough to find a seal's place).
cv::Point machineToTurned(const cv::Point2d& mm, const CSeal::JZPoint c[CSeal::kJZCircleCount])
{
    const MachinePoint& a = g_PointCheck[0];
    const MachinePoint& d = g_PointCheck[3];
    const double u = (mm.x - a.x) / (d.x - a.x), v = (mm.y - a.y) / (d.y - a.y);
    const auto mix = [&](int p0, int p1, int p2, int p3) {
        return (1 - u) * (1 - v) * p0 + u * (1 - v) * p1 + (1 - u) * v * p2 + u * v * p3;
    };
    return {cvRound(mix(c[0].x, c[1].x, c[2].x, c[3].x)), cvRound(mix(c[0].y, c[1].y, c[2].y, c[3].y))};
}

// How far (mm) the main circles lie off the calibration points' rectangle at their own best
// scale and turn, or a huge value when their scale is not the picture's. The turned photo's x
// runs along the machine's X and its y along the machine's Y.
double mainRectangleMiss(const CSeal::JZPoint m[CSeal::kJZCircleCount], double nominalPxPerMm, double& scale)
{
    using C = std::complex<double>;
    C ideal[4], found[4], idealMean, foundMean;
    for (int i = 0; i < 4; ++i) {
        ideal[i] = C(g_PointCheck[i].x, g_PointCheck[i].y);
        found[i] = C(m[i].x, m[i].y);
        idealMean += ideal[i] / 4.0;
        foundMean += found[i] / 4.0;
    }
    C num;
    double den = 0;
    for (int i = 0; i < 4; ++i) {
        num += (found[i] - foundMean) * std::conj(ideal[i] - idealMean);
        den += std::norm(ideal[i] - idealMean);
    }
    const C z = num / den;  // pixels per millimetre and the turn, as one complex factor
    scale = std::abs(z);
    if (std::abs(scale / nominalPxPerMm - 1) > kScaleTolerance) return HUGE_VAL;
    double worst = 0;
    for (int i = 0; i < 4; ++i)
        worst = std::max(worst, std::abs(found[i] - foundMean - z * (ideal[i] - idealMean)) / scale);
    return worst;
}

// Before the first stamp: every place a circle goes must be blank paper. Judged only when a photo
// shows a plausible sheet and the stored calibration tells where the places are; false only when
// ink is seen.
bool placesLookBlank(CSeal& seal, const bool present[CSeal::kSlotCount + 1], const CSeal::JZRecord& stored,
                     const SheetSize& a4)
{
    if (stored.m_A4LongSide <= 0) {
        TrcWritef(kTraceInfo, "_AutoCheckSeal blank check skipped: no stored calibration");
        return true;
    }
    const std::string path = baseDir() + kBlankPictureFile;
    if (seal._getImageFormat(path.c_str(), kPhotoFullOnly, 0, 0) != EC_OK) {
        TrcWritef(kTraceInfo, "_AutoCheckSeal blank check skipped: no photo");
        return true;
    }
    const cv::Mat turned = turnedPhoto(path);
    const std::vector<cv::Point2d> planned = plannedStamps(present);
    std::vector<cv::Point> centres;
    for (const cv::Point2d& mm : planned) centres.push_back(machineToTurned(mm, stored.m_JZCircle.data()));
    const int radius = cvRound((kSealRadiusMm + kBlankCheckMarginMm) * a4.longSide / kA4LongMm);
    const std::vector<double> ink = CImgHelp::Instance()->InkAroundByPaper(turned, centres, radius, a4);
    if (ink.empty()) {
        TrcWritef(kTraceInfo, "_AutoCheckSeal blank check skipped: no sheet in the photo");
        return true;
    }
    for (size_t i = 0; i < ink.size(); ++i) {
        if (ink[i] <= kBlankInkShare) continue;
        TrcWritef(kTraceError, "_AutoCheckSeal (%.0f, %.0f) mm is not blank: %.1f %% dark", planned[i].x, planned[i].y,
                  ink[i] * 100);
        return false;
    }
    return true;
}

// Each seal's correction moves its stamps by what its check stamp missed by, in hundredths of a
// millimetre. A seal whose impression is implausibly far off keeps what it had; one without an
// impression gets none.
struct SealCorrections {
    int dx[CSeal::kSlotCount + 1] = {};
    int dy[CSeal::kSlotCount + 1] = {};
    bool calibrated[CSeal::kSlotCount + 1] = {};
    bool keepStored[CSeal::kSlotCount + 1] = {};
    const CSeal::JZRecord* stored = nullptr;

    // Seal k's correction for record entry i.
    int at(int k, int i, bool xAxis) const
    {
        if (keepStored[k]) return xAxis ? stored->m_JZOffsetX[i] : stored->m_JZOffsetY[i];
        return xAxis ? dx[k] : dy[k];
    }
};

SealCorrections measureSeals(CSeal& seal, const std::vector<cv::Point>& points,
                             const CSeal::JZPoint mains[CSeal::kJZCircleCount], const CSeal::JZRecord& stored)
{
    SealCorrections fix;
    fix.stored = &stored;
    for (int k = 2; k <= CSeal::kSlotCount; ++k) {
        const cv::Point& s = points[kFirstSealEntry + k - 1];
        int wholeX = 0, wholeY = 0;  // the map as traced; the correction uses it untruncated
        double mx = 0, my = 0;
        if (s.x <= 0 || s.y <= 0 || !seal.Pixel2MMByPoints(s.x, s.y, wholeX, wholeY, mains) ||
            !seal.Pixel2MMByPointsExact(s.x, s.y, mx, my, mains))
            continue;
        const double offX = g_PointCheckX[k - 1] - mx, offY = g_PointCheckY[k - 1] - my;
        if (std::hypot(offX, offY) > kSealReachMm) {
            TrcWritef(kTraceError, "_AutoCheckSeal seal %d impression %.2f mm off its point: kept as it was", k,
                      std::hypot(offX, offY));
            fix.keepStored[k] = true;
            continue;
        }
        fix.dx[k] = calibration::mmToHundredths(offX);
        fix.dy[k] = calibration::mmToHundredths(offY);
        fix.calibrated[k] = true;
    }
    return fix;
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
    appendf(text, size, "水平向，白纸上边X坐标(%d,%d), 差值:%d, 建议:%s\r\n", m3.x, m1.x, std::abs(across),
            cameraAdvice(across).c_str());
    const int down = m1.y - m2.y;
    appendf(text, size, "垂直向，白纸右边Y坐标(%d,%d), 差值:%d, 建议:%s\r\n", m1.y, m2.y, std::abs(down),
            cameraAdvice(down).c_str());
    // A camera looking at the board from the side shows the circles' rectangle as a trapezoid;
    // the crop straightens a little of it, not more.
    const double keystone = circlesKeystone(mains);
    if (!CImgHelp::IsCorrectableTilt(keystone))
        appendf(text, size, "摄像头未正对底板(梯形差%.1f%%), 超出校正范围, 建议:重新安装摄像头\r\n", keystone * 100);
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
    const JZRecord stored = jzRecord();
    const SheetSize a4 = SheetSize::FromRecord(stored.m_A4LongSide, stored.m_A4ShortSide);
    if (!placesLookBlank(*this, present, stored, a4)) return fail(kNotBlankMessage);

    for (const MachinePoint& p : g_PointCheck)
        if (_directPrintStart(1, p.x, p.y, 0, nStyle(1)) != EC_OK) return fail("校准失败, 盖章失败");
    // A seal whose check stamp fails is simply not calibrated this time.
    for (int k = 2; k <= kSlotCount; ++k)
        if (present[k]) _directPrintStart(k, g_PointCheckX[k - 1], g_PointCheckY[k - 1], 0, nStyle(k));

    const std::string path = baseDir() + kCutPictureFile;
    if (_getImageFormat(path.c_str(), kPhotoFullOnly, 0, 0) != EC_OK) return fail("采集图片失败");

    const cv::Mat turned = turnedPhoto(path);
    std::vector<cv::Point> points;
    CutResult sheet = lastCut();  // the sheet is measured anew; the last turn shows in the trace
    CImgHelp::Instance()->FindCircleByPaper(turned, path.c_str(), kGridRows, kGridCols, points, sheet, a4);
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
    sheet.GetPaperWH(width, height);
    TrcWritef(kTraceInfo, "_AutoCheckSeal width:%d, height:%d", width, height);
    if (!mainsFound) return fail("找主圆失败");
    double scale = 0;
    const double mainMiss = mainRectangleMiss(mains, a4.longSide / kA4LongMm, scale);
    TrcWritef(kTraceInfo, "_AutoCheckSeal main circles %.2f mm off the rectangle at %.3f px/mm", mainMiss, scale);
    if (!(mainMiss <= kMainToleranceMm)) return fail(kNotBlankMessage);

    using namespace stampctl::calibration;
    const SealCorrections fix = measureSeals(*this, points, mains, stored);
    const auto zeroDegree = [](int k) { return (k - 1) * kAnglesPerSeal; };
    text[0] = '\0';
    for (int k = 1; k <= kSlotCount; ++k)
        appendf(text, sizeof text, "diff %d:(%0.2f,%0.2f),", k,
                fix.at(k, zeroDegree(k), true) / double(kHundredthsPerMm),
                fix.at(k, zeroDegree(k), false) / double(kHundredthsPerMm));
    TrcWritef(kTraceInfo, "%s", text);

    unsigned char block[kBaseBlockSize] = {};
    putLe16(block + kOffShortSide, width);
    putLe16(block + kOffLongSide, height);
    for (int i = 0; i < kJZCircleCount; ++i) {
        putLe16(block + kOffCircles + 4 * i, mains[i].x);
        putLe16(block + kOffCircles + 4 * i + 2, mains[i].y);
    }
    for (int k = 1; k <= kSlotCount; ++k) {
        putLe16(block + kOffZeroDegree + 4 * (k - 1), fix.at(k, zeroDegree(k), true));
        putLe16(block + kOffZeroDegree + 4 * (k - 1) + 2, fix.at(k, zeroDegree(k), false));
    }
    text[0] = '\0';
    for (unsigned char b : block) appendf(text, sizeof text, "%02X", b);
    TrcWritef(kTraceInfo, "%s", text);
    if (_DownLoadBaseJZ(block, static_cast<int>(kBaseBlockSize), 1) != EC_OK) return fail("保存信息失败，校准失败");

    // Every angle of a seal gets the correction measured at 0 degrees; a seal kept keeps its own.
    short rotX[kRotateEntries], rotY[kRotateEntries];
    for (int e = 0; e < kRotateEntries; ++e) {
        const int k = e / kRotatedPerSeal + 1;
        rotX[e] = static_cast<short>(fix.at(k, recordIndexOfRotation(e), true));
        rotY[e] = static_cast<short>(fix.at(k, recordIndexOfRotation(e), false));
    }
    _DownLoadRotateJZ(rotX, rotY);  // the base block is in: the calibration stands without it

    AutoCheckReport(szMsg, kMsgSize, fix.calibrated, mains);
    TrcWritef(kTraceInfo, "%s", szMsg);
    log.SetRet("return %d", kCalibrated);
    return kCalibrated;
}
