#include "stampctl/stamping/stamp_guards.h"

#include <algorithm>
#include <cstdlib>

namespace stampctl::stamping {

namespace {
using calibration::kTurnedHeight;
using calibration::kTurnedWidth;

// The circles stand 145 by 235 mm apart, some 1300 by 2100 pixels; a side shorter than this is
// no calibration at all.
constexpr int kShortestSidePx = 100;
// How far a side may differ from its opposite, and a row or column lean, relative to the side.
constexpr double kShapeTolerance = 0.2;

bool inTurnedPicture(const calibration::Point& p)
{
    return p.x >= 0 && p.x <= kTurnedWidth && p.y >= 0 && p.y <= kTurnedHeight;
}

bool alike(int a, int b) { return std::abs(a - b) <= kShapeTolerance * std::max(a, b); }
bool level(int offset, int side) { return std::abs(offset) <= kShapeTolerance * side; }
}  // namespace

bool haveCutPicture(const CutResult& cut) { return !cut.picture.empty(); }

bool onCutPicture(const CutResult& cut, int x, int y)
{
    return x >= 0 && y >= 0 && x < cut.picture.cols && y < cut.picture.rows;
}

bool onPage(int x, int y, int angle)
{
    const bool quarterTurn = angle == 90 || angle == 270;
    const int across = quarterTurn ? kPageShortMm : kPageLongMm;
    const int down = quarterTurn ? kPageLongMm : kPageShortMm;
    return x >= 0 && y >= 0 && x <= across && y <= down;
}

bool calibrationSound(const calibration::Record& record)
{
    const auto& c = record.m_JZCircle;
    if (!std::all_of(c.begin(), c.end(), inTurnedPicture)) return false;
    const int top = c[1].x - c[0].x, bottom = c[3].x - c[2].x;
    const int left = c[2].y - c[0].y, right = c[3].y - c[1].y;
    if (std::min({top, bottom, left, right}) < kShortestSidePx) return false;
    return alike(top, bottom) && alike(left, right) && level(c[1].y - c[0].y, top) && level(c[3].y - c[2].y, bottom) &&
           level(c[2].x - c[0].x, left) && level(c[3].x - c[1].x, right);
}

}  // namespace stampctl::stamping
