// A camera not square to the board shows the sheet as a trapezoid, which no turn straightens:
// the sheet's four corners, from its four fitted borders, are mapped onto the A4 rectangle.
//
// Tolerance: a sheet whose opposite sides differ in length by at most 0.4 % is a rectangle and
// keeps the turn (0.4 % of the long side is 1.2 mm, so no point of an uncorrected sheet lies more
// than 0.6 mm off). The edge scan measures a side to about a pixel at each end, 0.1 % of it; a
// camera tilted by 1 degree makes one side 1.1 % shorter than the other.
#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "stampctl/imaging/img_help.h"

namespace {

constexpr double kRectangleTolerance = 0.004;
// Beyond this the correction is no longer trusted to land stamps within a millimetre: the
// camera is to be remounted (a 3-degree tilt makes a side about 3.5 % shorter).
constexpr double kCorrectableKeystone = 0.035;
constexpr int kMinLinePoints = 8;
constexpr double kCornerInset = 0.1;  // the ends of a side are left to the other borders

using Line = cv::Vec4f;  // direction (vx, vy) and a point (x0, y0)

// The border's points between the other two borders (inset from the corners), fitted anew.
bool fitSide(const BorderLine& border, bool vertical, int from, int to, Line& line)
{
    const int inset = static_cast<int>((to - from) * kCornerInset);
    std::vector<cv::Point2f> points;
    for (const cv::Point& p : border.edge) {
        const int along = vertical ? p.y : p.x;
        if (along >= from + inset && along <= to - inset) points.emplace_back(p);
    }
    if (static_cast<int>(points.size()) < kMinLinePoints) return false;
    cv::fitLine(points, line, cv::DIST_HUBER, 0, 0.01, 0.01);
    return true;
}

cv::Point2d meet(const Line& a, const Line& b)
{
    // a0 + t da = b0 + u db
    const double det = a[0] * (-b[1]) - a[1] * (-b[0]);
    const double rx = b[2] - a[2], ry = b[3] - a[3];
    const double t = (rx * (-b[1]) - ry * (-b[0])) / det;
    return {a[2] + t * a[0], a[3] + t * a[1]};
}

}  // namespace

bool CImgHelp::SheetCorners(const std::array<BorderLine, 4>& borders, const cv::Rect& paper,
                            std::array<cv::Point2d, 4>& corners)
{
    Line left, right, top, bottom;
    const int x0 = paper.x, x1 = paper.x + paper.width, y0 = paper.y, y1 = paper.y + paper.height;
    if (!fitSide(borders[0], true, y0, y1, left) || !fitSide(borders[1], true, y0, y1, right) ||
        !fitSide(borders[2], false, x0, x1, top) || !fitSide(borders[3], false, x0, x1, bottom))
        return false;
    corners = {meet(left, top), meet(right, top), meet(right, bottom), meet(left, bottom)};
    for (const cv::Point2d& c : corners)
        if (!std::isfinite(c.x) || !std::isfinite(c.y)) return false;
    return true;
}

double CImgHelp::KeystoneShare(const std::array<cv::Point2d, 4>& c)
{
    const double top = cv::norm(c[1] - c[0]), bottom = cv::norm(c[2] - c[3]);
    const double left = cv::norm(c[3] - c[0]), right = cv::norm(c[2] - c[1]);
    return std::max(std::abs(top - bottom) / ((top + bottom) / 2), std::abs(left - right) / ((left + right) / 2));
}

bool CImgHelp::IsRectangle(double keystone) { return keystone <= kRectangleTolerance; }
bool CImgHelp::IsCorrectableTilt(double keystone) { return keystone <= kCorrectableKeystone; }

cv::Matx33d CImgHelp::CutToPhoto(const std::array<cv::Point2d, 4>& inPhoto, cv::Size cut)
{
    const cv::Point2f from[4] = {
        {0, 0}, {float(cut.width), 0}, {float(cut.width), float(cut.height)}, {0, float(cut.height)}};
    cv::Point2f to[4];
    for (int i = 0; i < 4; ++i) to[i] = cv::Point2f(inPhoto[i]);
    return cv::Matx33d(cv::getPerspectiveTransform(from, to));
}
