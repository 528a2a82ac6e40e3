// The straight line through a border's edge points, and how far it is turned.
#include <cmath>
#include <map>

#include <opencv2/imgproc.hpp>

#include "stampctl/imaging/img_help.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kHalfPi = kPi / 2;
constexpr int kMinEdgePoints = 4;
constexpr double kFitReps = 0.01;                   // radius accuracy of the robust fit
constexpr double kFitAeps = 0.01;                   // angle accuracy of the robust fit
constexpr double kAngle90Min = 1.413716694115407;   // 81 degrees
constexpr double kAngle90Max = 1.7278759594743864;  // 99 degrees
constexpr double kAngle0Max = 0.01;
// The fit works in single precision: an axis-parallel border comes back with a direction
// component of about 4e-8 instead of 0. Anything this small is rounding, not a turn; taking it
// for one would resample a straight photo by a millionth of a degree.
constexpr float kAxisSnap = 1e-6f;

}  // namespace

bool CImgHelp::FindEffectDot(int step, const std::vector<cv::Point>& edge, std::vector<cv::Point>& effect,
                             cv::Vec4f& line, double& deviation, double& rotAngle, bool vertical, double& lineAngle)
{
    effect.clear();
    if (edge.size() < static_cast<size_t>(kMinEdgePoints)) return false;

    // Pairs of neighbouring scan lines, grouped by how far the border moves between them; the
    // largest group follows the border, the rest are corners, dust and print.
    std::map<int, std::vector<cv::Point>> groups;
    for (size_t i = 0; i + 1 < edge.size(); i += 2) {
        const cv::Point& p = edge[i];
        const cv::Point& q = edge[i + 1];
        const int along = vertical ? p.y - q.y : p.x - q.x;
        const int across = vertical ? p.x - q.x : p.y - q.y;
        if (std::abs(along) != step) continue;
        auto& group = groups[across];
        group.push_back(p);
        group.push_back(q);
    }
    if (groups.empty()) return false;

    const std::vector<cv::Point>* best = nullptr;
    for (const auto& entry : groups)  // ascending keys: on a tie the smaller offset stays
        if (!best || entry.second.size() > best->size()) best = &entry.second;
    effect = *best;
    cv::fitLine(effect, line, cv::DIST_HUBER, 0, kFitReps, kFitAeps);
    for (int i = 0; i < 2; ++i)
        if (std::fabs(line[i]) < kAxisSnap) line[i] = 0;

    const double phi = std::atan2(static_cast<double>(line[1]), static_cast<double>(line[0]));
    const double alpha = phi > 0 ? std::fabs(kPi - phi) : std::fabs(phi);
    lineAngle = alpha;
    if (alpha == kHalfPi) {
        deviation = 0;
        rotAngle = 0;
    } else if (!vertical) {
        deviation = alpha > kHalfPi ? kPi - alpha : alpha;
        rotAngle = alpha > kHalfPi ? 2 * kPi - deviation : deviation;
    } else {
        deviation = alpha > kHalfPi ? alpha - kHalfPi : kHalfPi - alpha;
        rotAngle = alpha > kHalfPi ? deviation : 2 * kPi - deviation;
    }
    return true;
}

bool CImgHelp::IsAngle90(double p, double q)
{
    const double d = std::fabs(p - q);
    return d >= kAngle90Min && d <= kAngle90Max;
}

bool CImgHelp::IsAngle0(double p, double q) { return std::fabs(p - q) < kAngle0Max; }
