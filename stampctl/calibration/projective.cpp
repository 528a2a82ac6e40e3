#include "stampctl/calibration/projective.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "stampctl/core/facts.h"

namespace stampctl::calibration {
namespace {

// A square camera's circles: sides equal to a few pixels in 1800 (0.2 %); a camera tilted by one
// degree makes them differ by about 1 %.
constexpr double kRectangleTolerance = 0.004;
// Machine millimetres of circles 1 to 4.
const cv::Point2f kCircleMm[kCircleCount] = {{kCalibrationLeftMm, kCalibrationTopMm},
                                             {kCalibrationRightMm, kCalibrationTopMm},
                                             {kCalibrationLeftMm, kCalibrationBottomMm},
                                             {kCalibrationRightMm, kCalibrationBottomMm}};

cv::Point2d at(const Point& p) { return {double(p.x), double(p.y)}; }

}  // namespace

double circlesKeystone(const Point c[kCircleCount])
{
    const double top = cv::norm(at(c[1]) - at(c[0])), bottom = cv::norm(at(c[3]) - at(c[2]));
    const double left = cv::norm(at(c[2]) - at(c[0])), right = cv::norm(at(c[3]) - at(c[1]));
    if (top + bottom <= 0 || left + right <= 0) return 0;
    return std::max(std::abs(top - bottom) / ((top + bottom) / 2), std::abs(left - right) / ((left + right) / 2));
}

bool slantedCirclesToMm(const Point c[kCircleCount], double x, double y, cv::Point2d& mm)
{
    if (circlesKeystone(c) <= kRectangleTolerance) return false;
    cv::Point2f px[kCircleCount];
    for (int i = 0; i < kCircleCount; ++i) px[i] = cv::Point2f(float(c[i].x), float(c[i].y));
    const cv::Matx33d h(cv::getPerspectiveTransform(px, kCircleMm));
    const cv::Vec3d v = h * cv::Vec3d(x, y, 1);
    if (!(std::abs(v[2]) > 1e-12)) return false;
    mm = {v[0] / v[2], v[1] / v[2]};
    return std::isfinite(mm.x) && std::isfinite(mm.y);
}

}  // namespace stampctl::calibration
