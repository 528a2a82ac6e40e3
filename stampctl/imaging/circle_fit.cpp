// One calibration circle in one grid cell: a Hough transform for a first guess, then a fit to
// the circle's rim found along rays, dropping the rim points that lie too far off in ever
// narrower bands.
#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "stampctl/imaging/img_help.h"

namespace {

constexpr int kSmoothSize = 5;
constexpr double kInkLevel = 10;  // after equalisation, only true black stays black
constexpr double kWhite = 255;

constexpr double kHoughResolution = 1;
constexpr double kHoughMinDistance = 1000;  // one circle per cell
constexpr double kHoughEdgeThreshold = 100;
constexpr double kHoughVotes = 25;
constexpr int kMinRadius = 50;
constexpr int kMaxRadius = 300;

constexpr float kEdgeBand = 150;
constexpr float kFirstTolerance = 100;
constexpr float kToleranceStep = 10;
constexpr int kRefineRounds = 10;

constexpr double kRayStep = 0.008726646259971648;  // half a degree
constexpr int kDarkBelow = 128;
constexpr int kMinFitPoints = 17;

constexpr float kSaneReach = 1e6f;  // pixels; a fit beyond this is no circle in the picture
constexpr float kMinAxis = 1;       // a flatter ellipse is a line
constexpr int kRimThickness = 3;

}  // namespace

bool CImgHelp::FindCircle(const cv::Mat& img, TCircle& c)
{
    if (img.empty() || img.depth() != CV_8U) return true;
    cv::Mat work;
    if (img.channels() == 3)
        cv::cvtColor(img, work, cv::COLOR_BGR2GRAY);
    else if (img.channels() == 1)
        work = img;
    else
        return true;
    cv::GaussianBlur(work, work, cv::Size(kSmoothSize, kSmoothSize), 0);
    cv::equalizeHist(work, work);
    cv::threshold(work, work, kInkLevel, kWhite, cv::THRESH_BINARY);

    std::vector<cv::Vec3f> found;
    cv::HoughCircles(work, found, cv::HOUGH_GRADIENT, kHoughResolution, kHoughMinDistance, kHoughEdgeThreshold,
                     kHoughVotes, kMinRadius, kMaxRadius);
    if (found.empty()) return true;
    c = TCircle{found[0][0], found[0][1], found[0][2]};

    TEdgePtArr pts;
    FindCircleEdgePt(work, pts, c, kEdgeBand);
    FitCircle(pts, c);
    float tolerance = kFirstTolerance;
    for (int round = 0; round < kRefineRounds; ++round, tolerance -= kToleranceStep) {
        DelErrPt(pts, c, tolerance);
        FitCircle(pts, c);
    }
    return false;
}

TEdgePtArr& CImgHelp::FindCircleEdgePt(const cv::Mat& img, TEdgePtArr& pts, const TCircle& c, float band)
{
    pts.count = 0;
    const cv::Rect inside(0, 0, img.cols, img.rows);
    const bool readable = !img.empty() && img.type() == CV_8UC1;
    double angle = 0;
    for (int ray = 0; ray < TEdgePtArr::kMaxPoints && readable; ++ray, angle += kRayStep) {
        const float a = static_cast<float>(angle);
        const float cosA = std::cos(a), sinA = std::sin(a);
        for (float rho = c.r + band; rho > c.r - band; rho -= 1) {
            const cv::Point p(static_cast<int>(rho * cosA + c.x), static_cast<int>(rho * sinA + c.y));
            if (!inside.contains(p) || img.at<uchar>(p) >= kDarkBelow) continue;
            pts.pt[pts.count++] = TEdgePt{p.x, p.y, 1};
            break;
        }
    }
    return pts;
}

void CImgHelp::DelErrPt(TEdgePtArr& pts, const TCircle& c, float tolerance)
{
    for (int i = 0; i < pts.count; ++i) {
        TEdgePt& p = pts.pt[i];
        if (!p.valid) continue;
        const float d = std::hypot(p.x - c.x, p.y - c.y);
        if (d < c.r - tolerance || d > c.r + tolerance) p.valid = 0;
    }
}

void CImgHelp::FitCircle(const TEdgePtArr& pts, TCircle& c)
{
    std::vector<cv::Point2f> rim;
    for (int i = 0; i < pts.count; ++i)
        if (pts.pt[i].valid) rim.emplace_back(static_cast<float>(pts.pt[i].x), static_cast<float>(pts.pt[i].y));
    if (static_cast<int>(rim.size()) < kMinFitPoints) return;

    const cv::RotatedRect e = cv::fitEllipse(rim);
    const float r = (e.size.width + e.size.height) / 4;
    // Points all on one line (a dark corner of the board in the cell) give no ellipse at all, or
    // one of absurd size; the circle found so far is the better answer then.
    const auto sane = [](float v) { return std::isfinite(v) && std::fabs(v) < kSaneReach; };
    if (!sane(e.center.x) || !sane(e.center.y) || !sane(r) || std::min(e.size.width, e.size.height) < kMinAxis) return;
    c = TCircle{e.center.x, e.center.y, r};
}

void CImgHelp::DrawCircle(cv::Mat& img, const TCircle& c)
{
    cv::circle(img, cv::Point(static_cast<int>(c.x), static_cast<int>(c.y)), static_cast<int>(c.r),
               cv::Scalar(255, 0, 0), kRimThickness, cv::LINE_8);
}
