// From a pixel of the camera's source picture to a machine position in millimetres, through the
// four calibration circles and the correction of each seal and stamp angle, and the clamps that
// keep a position inside the machine's travel.
#include <cmath>

#include "stampctl/calibration/projective.h"
#include "stampctl/core/trace.h"
#include "stampctl/seal.h"

using namespace stampctl;

namespace {

// Machine positions of the calibration circles, in millimetres.
constexpr double kCircleLeftMm = 85.0;    // circles 1 and 3
constexpr double kCircleRightMm = 230.0;  // circles 2 and 4
constexpr double kCircleTopMm = 35.0;     // circles 1 and 2
constexpr double kCircleBottomMm = 270.0; // circles 3 and 4

// The source picture turned a quarter: 2448 wide, 3264 high. Its y counts from 3265.
constexpr int kTurnedWidth = 2448;
constexpr int kTurnedHeight = 3264;
constexpr int kTurnedYOrigin = 3265;

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

// Both axes, each on its own: true when either moved.
bool clampToTravel(double& x, double& y)
{
    const bool movedX = clampAxis(x, kMinX, kMaxX);
    const bool movedY = clampAxis(y, kMinY, kMaxY);
    return movedX || movedY;
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

struct FourCircleMap {
    double fx1, fx2, fxx, fy1, fy2, fyy;
};

}  // namespace

double CSeal::Pixel2MM_ByRate(int p1, double mm1, int p2, double mm2, int p)
{
    if (p1 == p2) return (mm1 + mm2) * 0.5;
    return static_cast<double>(p - p1) * (mm2 - mm1) / static_cast<double>(p2 - p1) + mm1;
}

double CSeal::Pixel2MM(int p1, double mm1, int p2, double mm2, int p)
{
    if (p1 == p2) return (mm1 + mm2) * 0.5;
    const double d = p2 - p1;
    if (p < p1) return ((p2 - p) * mm1 - (p1 - p) * mm2) / d;
    if (p > p2) return ((p - p1) * mm2 - (p - p2) * mm1) / d;
    return (p2 - p) * mm1 / d + (p - p1) * mm2 / d;
}

bool CSeal::PicxyConvert(int& x, int& y, bool /*savedByRow: the camera's only layout*/)
{
    const int oldX = x;
    x = y;
    y = kTurnedYOrigin - oldX;
    return x >= 0 && x <= kTurnedWidth && y >= 0 && y <= kTurnedHeight;
}

double CSeal::Myhm2mm(short nHm)
{
    const double mm = std::abs(nHm) <= kLargestCorrection ? nHm / kHundredthsPerMm : 0.0;
    TrcWritef(kTraceInfo, "Myhm2mm %d --> %0.2f", nHm, mm);
    return mm;
}

bool CSeal::CheckMMOK(double& x, double& y)
{
    if (clampToTravel(x, y))
        TrcWritef(kTraceInfo, "=== CheckMMOK CheckMMOK 盖章坐标超界，强制校正(%0.2f, %0.2f)", x, y);
    return true;
}

namespace {

FourCircleMap mapByCircles(CSeal& seal, const CSeal::JZPoint* c, int X, int Y)
{
    FourCircleMap m;
    m.fx1 = seal.Pixel2MM_ByRate(c[0].x, kCircleLeftMm, c[1].x, kCircleRightMm, X);
    m.fx2 = seal.Pixel2MM_ByRate(c[2].x, kCircleLeftMm, c[3].x, kCircleRightMm, X);
    m.fxx = seal.Pixel2MM(c[0].y, m.fx1, c[2].y, m.fx2, Y);
    m.fy1 = seal.Pixel2MM_ByRate(c[0].y, kCircleTopMm, c[2].y, kCircleBottomMm, Y);
    m.fy2 = seal.Pixel2MM_ByRate(c[1].y, kCircleTopMm, c[3].y, kCircleBottomMm, Y);
    m.fyy = seal.Pixel2MM(c[0].x, m.fy1, c[1].x, m.fy2, X);
    cv::Point2d slanted;
    if (stampctl::calibration::slantedCirclesToMm(c, X, Y, slanted)) {
        m.fxx = slanted.x;
        m.fyy = slanted.y;
    }
    return m;
}

}  // namespace

int CSeal::_SrcPixelToMachineMM(int sealNo, int x, int y, int angle, double& mmX, double& mmY)
{
    const JZRecord jz = jzRecord();
    const JZPoint* c = jz.m_JZCircle.data();
    TrcWritef(kTraceInfo, "校准圆(%d:%d, %d:%d, %d:%d, %d:%d)", c[0].x, c[0].y, c[1].x, c[1].y,
              c[2].x, c[2].y, c[3].x, c[3].y);

    const int srcX = x, srcY = y;
    const bool inside = PicxyConvert(x, y, m_bSavePicRow);
    TrcWritef(kTraceInfo, "PicxyConvert(%d:%d --> %d:%d, m_bSavePicRow:%d, bl:%d)", srcX, srcY, x, y,
              m_bSavePicRow ? 1 : 0, inside ? 1 : 0);
    // Outside the picture the map extrapolates; the clamp below keeps the result in the travel.
    if (!inside) TrcWritef(kTraceInfo, "PrintStart getRealXY fail");

    const FourCircleMap m = mapByCircles(*this, c, x, y);
    TrcWritef(kTraceInfo, "new (fxx:%0.2f,fyy:%0.2f) fx1=%0.2f,fx2=%0.2f, fy1=%0.2f,fy2=%0.2f", m.fxx,
              m.fyy, m.fx1, m.fx2, m.fy1, m.fy2);

    // A seal number outside 1 to 6 has no entry: no correction rather than a stray read.
    const int k = (static_cast<short>(sealNo) - 1) * 4 + angleIndex(angle);
    const bool hasEntry = k >= 0 && k < kJZOffsetCount;
    const double sBcx = hasEntry ? Myhm2mm(jz.m_JZOffsetX[k]) : 0.0;
    const double sBcy = hasEntry ? Myhm2mm(jz.m_JZOffsetY[k]) : 0.0;

    mmX = m.fxx + sBcx + kRoundingNudge;
    mmY = m.fyy + sBcy + kRoundingNudge;
    TrcWritef(kTraceInfo, "%d号章, 校准结果 (%d,%d,  %0.2f, %0.2f --> %0.2f, %0.2f) sBcx:%0.2f, sBcy:%0.2f",
              sealNo, x, y, m.fxx, m.fyy, mmX, mmY, sBcx, sBcy);

    if (clampToTravel(mmX, mmY))
        TrcWritef(kTraceInfo, "=== 盖章坐标超界，强制校正(%0.2f, %0.2f)", mmX, mmY);
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
    for (int i = 0; i < kJZCircleCount; ++i) {
        if (circles[i].x < 0 || circles[i].y < 0) {
            log.SetRet("i:%d,, x:%d, y:%d", i, circles[i].x, circles[i].y);
            return false;
        }
    }
    const JZPoint* c = circles;
    const FourCircleMap m = mapByCircles(*this, c, ix, iy);
    TrcWritef(kTraceInfo, "getX:getY(%d:%d, %d:%d, %d:%d, %d:%d)", c[0].x, c[0].y, c[1].x, c[1].y,
              c[2].x, c[2].y, c[3].x, c[3].y);
    TrcWritef(kTraceInfo, "Pixel2MMByPoints fx1=%f,fx2=%f, fy1=%f,fy2=%f", m.fx1, m.fx2, m.fy1,
              m.fy2);
    ixOut = static_cast<int>(m.fxx);
    iyOut = static_cast<int>(m.fyy);
    TrcWritef(kTraceInfo, "Pixel2MMByPoints out ixOut=%d, iyOut=%d", ixOut, iyOut);
    log.SetRet("return bl:%d", 1);
    return true;
}

bool CSeal::Pixel2MMByPointsExact(int ix, int iy, double& mmX, double& mmY, const JZPoint* circles)
{
    if (ix < 0 || iy < 0 || !circles) return false;
    for (int i = 0; i < kJZCircleCount; ++i)
        if (circles[i].x < 0 || circles[i].y < 0) return false;
    const FourCircleMap m = mapByCircles(*this, circles, ix, iy);
    mmX = m.fxx;
    mmY = m.fyy;
    return true;
}
