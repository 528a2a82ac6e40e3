// The four calibration circles of a camera not square to the board lie on a trapezoid, which the
// row-and-column interpolation of the circles bends: the projective map they define is exact for
// a flat board seen from any angle.
#pragma once

#include <opencv2/core.hpp>

#include "stampctl/calibration/calibration_record.h"

namespace stampctl::calibration {

// How far the circles (1 and 2 the first row, 3 and 4 the last) are from a rectangle: the larger
// difference of opposite sides' lengths as a share of their mean.
double circlesKeystone(const Point circles[kCircleCount]);

// Machine millimetres of the turned-picture pixel (x, y) through the projective map of the four
// circles, when they are no rectangle (sides more than 0.4 % apart); false for a rectangle, whose
// map stays the interpolation between the circles.
bool slantedCirclesToMm(const Point circles[kCircleCount], double x, double y, cv::Point2d& mm);

}  // namespace stampctl::calibration
