// Points between the cut picture, the camera photo and the sheet's millimetres.
#include <cmath>
#include <cstring>

#include "stampctl/core/facts.h"
#include "stampctl/core/trace.h"
#include "stampctl/imaging/cut_result.h"

namespace {

// The sheet lies long side horizontal.
constexpr double kA4WidthMm = stampctl::kA4LongMm;
constexpr double kA4HeightMm = stampctl::kA4ShortMm;
constexpr double kDefaultPixelsPerMmX = stampctl::kDefaultPerMmLong;  // before any sheet was measured
constexpr double kDefaultPixelsPerMmY = stampctl::kDefaultPerMmShort;
constexpr const char* kTurnedSheet = "270";

}  // namespace

void CutResult::ConvertXYtoSrcPic(int& x, int& y) const
{
    if (!paperFound) return;
    if (perspective) {
        const cv::Vec3d p = toPhoto * cv::Vec3d(x, y, 1);
        x = static_cast<int>(p[0] / p[2]);
        y = static_cast<int>(p[1] / p[2]);
        return;
    }
    const int x1 = x + paper.x;
    const int y1 = y + paper.y;
    if (!rotated) {
        x = x1;
        y = y1;
        return;
    }
    const float c = std::cos(rotateAngle);
    const float s = std::sin(rotateAngle);
    x = static_cast<int>(x1 * c + y1 * s + rotDx);
    y = static_cast<int>(-x1 * s + y1 * c + rotDy);
}

void CutResult::ConvertPointBaseLeftTop(int& x, int& y, int angle, const std::string& paperLeftTop) const
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "ConvertPointBaseLeftTop ix:%d,iy:%d,angle:%d, m_paper_left_top:%s", x, y,
                  angle, paperLeftTop.c_str());
    const int w = paper.width;
    const int h = paper.height;
    if (paperFound) {
        const int ix = x, iy = y;
        int nx = ix, ny = iy;
        if (paperLeftTop != kTurnedSheet) {
            // clang-format off
            switch (angle) {
            case 90: nx = w - iy; ny = ix; break;
            case 180: nx = w - ix; ny = h - iy; break;
            case 270: nx = iy; ny = h - ix; break;
            default: break;
            }
        } else {
            switch (angle) {
            case 0: nx = iy; ny = h - ix; break;
            case 90: break;
            case 180: nx = w - iy; ny = ix; break;
            default: nx = w - ix; ny = h - iy; break;
            }
            // clang-format on
        }
        x = nx;
        y = ny;
    }
    log.SetRet("return ix:%d, iy:%d, pWidth:%d, pHeight:%d", x, y, w, h);
}

bool CutResult::MM2Pixel(int& x, int& y) const
{
    const int inX = x, inY = y;
    const double perMmX = paperWidth < 1 ? kDefaultPixelsPerMmX : paperWidth / kA4WidthMm;
    const double perMmY = paperHeight <= 0 ? kDefaultPixelsPerMmY : paperHeight / kA4HeightMm;
    x = static_cast<int>(x * perMmX);
    y = static_cast<int>(y * perMmY);
    TrcWritef(stampctl::kTraceInfo, "MM2Pixel in(x:%d, y:%d), out(x:%d, y:%d)", inX, inY, x, y);
    return true;
}

void CutResult::GetPaperWH(int& width, int& height) const
{
    width = paper.width;
    height = paper.height;
}
