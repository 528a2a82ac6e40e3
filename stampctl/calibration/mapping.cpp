// From a pixel of the camera's source picture to a machine position in millimetres, through the
// four calibration circles and the correction of each seal and stamp angle, and the clamps that
// keep a position inside the machine's travel.
#include <cmath>

#include "stampctl/calibration/calibration_record.h"
#include "stampctl/calibration/projective.h"
#include "stampctl/core/facts.h"
#include "stampctl/core/trace.h"

namespace stampctl::calibration {

namespace {

// Machine positions of the calibration circles, in millimetres.
constexpr double kCircleLeftMm = kCalibrationLeftMm;      // circles 1 and 3
constexpr double kCircleRightMm = kCalibrationRightMm;    // circles 2 and 4
constexpr double kCircleTopMm = kCalibrationTopMm;        // circles 1 and 2
constexpr double kCircleBottomMm = kCalibrationBottomMm;  // circles 3 and 4

// The turned picture's y counts from 3265.
constexpr int kTurnedYOrigin = kTurnedHeight + 1;

// The machine's travel; a position outside is moved 2 mm inside the limit.
constexpr double kMinX = 55.0, kMaxX = 250.0;
constexpr double kMinY = 2.0, kMaxY = 298.0;
constexpr double kInsideMargin = 2.0;

// Corrections of this size or more mark an entry without correction.
constexpr int kLargestCorrection = 999;
constexpr double kHundredthsPerMm = 100.0;
// Added to the result so that truncation to hundredths on the wire never loses one.
constexpr double kRoundingNudge = 0.01;

bool clampAxis(double& v, double lo, double hi)
{
    if (v < lo) {
        v = lo + kInsideMargin;
        return true;
    }
    if (v > hi) {
        v = hi - kInsideMargin;
        return true;
    }
    return false;
}

int angleIndex(int angle)
{
    switch (angle) {
    case 90: return 1;
    case 180: return 2;
    case 270: return 3;
    default: return 0;
    }
}

}  // namespace

CircleMap circleMap(const Point* c, int X, int Y)
{
    CircleMap m;
    m.fx1 = pixelToMmByRate(c[0].x, kCircleLeftMm, c[1].x, kCircleRightMm, X);
    m.fx2 = pixelToMmByRate(c[2].x, kCircleLeftMm, c[3].x, kCircleRightMm, X);
    m.fxx = pixelToMm(c[0].y, m.fx1, c[2].y, m.fx2, Y);
    m.fy1 = pixelToMmByRate(c[0].y, kCircleTopMm, c[2].y, kCircleBottomMm, Y);
    m.fy2 = pixelToMmByRate(c[1].y, kCircleTopMm, c[3].y, kCircleBottomMm, Y);
    m.fyy = pixelToMm(c[0].x, m.fy1, c[1].x, m.fy2, X);
    cv::Point2d slanted;
    if (slantedCirclesToMm(c, X, Y, slanted)) {
        m.fxx = slanted.x;
        m.fyy = slanted.y;
    }
    return m;
}

double pixelToMmByRate(int p1, double mm1, int p2, double mm2, int p)
{
    if (p1 == p2) return (mm1 + mm2) * 0.5;
    return static_cast<double>(p - p1) * (mm2 - mm1) / static_cast<double>(p2 - p1) + mm1;
}

double pixelToMm(int p1, double mm1, int p2, double mm2, int p)
{
    if (p1 == p2) return (mm1 + mm2) * 0.5;
    const double d = p2 - p1;
    if (p < p1) return ((p2 - p) * mm1 - (p1 - p) * mm2) / d;
    if (p > p2) return ((p - p1) * mm2 - (p - p2) * mm1) / d;
    return (p2 - p) * mm1 / d + (p - p1) * mm2 / d;
}

bool turnSourcePixel(int& x, int& y)
{
    const int oldX = x;
    x = y;
    y = kTurnedYOrigin - oldX;
    return x >= 0 && x <= kTurnedWidth && y >= 0 && y <= kTurnedHeight;
}

double hundredthsToMm(short nHm)
{
    const double mm = std::abs(nHm) <= kLargestCorrection ? nHm / kHundredthsPerMm : 0.0;
    TrcWritef(kTraceInfo, "Myhm2mm %d --> %0.2f", nHm, mm);
    return mm;
}

int mmToHundredths(double mm) { return static_cast<int>(std::lround(mm * kHundredthsPerMm)); }

bool clampToTravel(double& x, double& y)
{
    const bool movedX = clampAxis(x, kMinX, kMaxX);
    const bool movedY = clampAxis(y, kMinY, kMaxY);
    return movedX || movedY;
}

bool mapByCircles(const Point* circles, int ix, int iy, MachineMm& mm)
{
    if (ix < 0 || iy < 0 || !circles) return false;
    for (int i = 0; i < kCircleCount; ++i)
        if (circles[i].x < 0 || circles[i].y < 0) return false;
    const CircleMap m = circleMap(circles, ix, iy);
    mm = {m.fxx, m.fyy};
    return true;
}

MachineMm toMachineMm(const Record& jz, int sealNo, Point sourcePixel, int angle)
{
    const Point* c = jz.m_JZCircle.data();
    TrcWritef(kTraceInfo, "校准圆(%d:%d, %d:%d, %d:%d, %d:%d)", c[0].x, c[0].y, c[1].x, c[1].y, c[2].x, c[2].y, c[3].x,
              c[3].y);

    int x = sourcePixel.x, y = sourcePixel.y;
    // The camera saves its pictures by row, the only layout there is.
    const bool inside = turnSourcePixel(x, y);
    TrcWritef(kTraceInfo, "PicxyConvert(%d:%d --> %d:%d, m_bSavePicRow:%d, bl:%d)", sourcePixel.x, sourcePixel.y, x, y,
              1, inside ? 1 : 0);
    // Outside the picture the map extrapolates; the clamp below keeps the result in the travel.
    if (!inside) TrcWritef(kTraceInfo, "PrintStart getRealXY fail");

    const CircleMap m = circleMap(c, x, y);
    TrcWritef(kTraceInfo, "new (fxx:%0.2f,fyy:%0.2f) fx1=%0.2f,fx2=%0.2f, fy1=%0.2f,fy2=%0.2f", m.fxx, m.fyy, m.fx1,
              m.fx2, m.fy1, m.fy2);

    // A seal number outside 1 to 6 has no entry: no correction rather than a stray read.
    const int k = (static_cast<short>(sealNo) - 1) * 4 + angleIndex(angle);
    const bool hasEntry = k >= 0 && k < kOffsetCount;
    const double sBcx = hasEntry ? hundredthsToMm(jz.m_JZOffsetX[k]) : 0.0;
    const double sBcy = hasEntry ? hundredthsToMm(jz.m_JZOffsetY[k]) : 0.0;

    double mmX = m.fxx + sBcx + kRoundingNudge;
    double mmY = m.fyy + sBcy + kRoundingNudge;
    TrcWritef(kTraceInfo, "%d号章, 校准结果 (%d,%d,  %0.2f, %0.2f --> %0.2f, %0.2f) sBcx:%0.2f, sBcy:%0.2f", sealNo, x,
              y, m.fxx, m.fyy, mmX, mmY, sBcx, sBcy);

    if (clampToTravel(mmX, mmY)) TrcWritef(kTraceInfo, "=== 盖章坐标超界，强制校正(%0.2f, %0.2f)", mmX, mmY);
    return {mmX, mmY};
}

}  // namespace stampctl::calibration
