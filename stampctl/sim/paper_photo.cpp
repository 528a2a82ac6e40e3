#include "stampctl/sim/paper_photo.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

namespace stampctl::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSubPixelBits = 4;  // polygon corners at 1/16 pixel
constexpr float kSubPixelScale = 1 << kSubPixelBits;
constexpr int kLinePitch = 40;  // a text line every 40 pixels
constexpr int kLineHeight = 22;
constexpr int kRingWidth = 8;
// About 9.2 pixels per millimetre with the camera some 400 mm above the board.
constexpr double kFocalPx = 3700;

std::vector<cv::Point> toSubPixel(const std::vector<cv::Point2f>& points)
{
    std::vector<cv::Point> out;
    for (const cv::Point2f& p : points) out.emplace_back(cvRound(p.x * kSubPixelScale), cvRound(p.y * kSubPixelScale));
    return out;
}

// The board brightened towards the sheet: `haloGrey` at the sheet's edge, fading with distance.
void addHalo(cv::Mat& photo, const PaperPhoto& layout, const std::vector<cv::Point2f>& corners)
{
    cv::Mat board(photo.size(), CV_8UC1, cv::Scalar(255));
    cv::fillConvexPoly(board, toSubPixel(corners), cv::Scalar(0), cv::LINE_8, kSubPixelBits);
    cv::Mat distance;
    cv::distanceTransform(board, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE);
    for (int y = 0; y < photo.rows; ++y) {
        const float* d = distance.ptr<float>(y);
        cv::Vec3b* px = photo.ptr<cv::Vec3b>(y);
        for (int x = 0; x < photo.cols; ++x) {
            if (d[x] <= 0) continue;
            const double lift = (layout.haloGrey - layout.board) * std::exp(-d[x] / layout.haloPx);
            px[x] = cv::Vec3b::all(cv::saturate_cast<uchar>(layout.board + lift));
        }
    }
}

void fillSheetPolygon(cv::Mat& photo, const PaperPhoto& layout, const std::vector<cv::Point2f>& sheetPoints,
                      uint8_t grey)
{
    std::vector<cv::Point2f> inPhoto;
    for (const cv::Point2f& p : sheetPoints) inPhoto.push_back(sheetToFlat(layout, p));
    cv::fillConvexPoly(photo, toSubPixel(inPhoto), cv::Scalar::all(grey), cv::LINE_8, kSubPixelBits);
}

void drawPrintBlock(cv::Mat& photo, const PaperPhoto& layout, const PrintBlock& block, cv::RNG& rng)
{
    // Lines of text of uneven length, left-aligned like a paragraph.
    for (int top = block.area.y; top + kLineHeight <= block.area.y + block.area.height; top += kLinePitch) {
        const float x0 = static_cast<float>(block.area.x);
        const float length = block.area.width * static_cast<float>(rng.uniform(0.6, 1.0));
        const float y0 = static_cast<float>(top);
        const float y1 = y0 + kLineHeight;
        fillSheetPolygon(photo, layout, {{x0, y0}, {x0 + length, y0}, {x0 + length, y1}, {x0, y1}}, layout.ink);
    }
}

void drawImpression(cv::Mat& photo, const PaperPhoto& layout, const Impression& imp)
{
    const cv::Point2f c = sheetToFlat(layout, imp.centre);
    const cv::Point centre(cvRound(c.x * kSubPixelScale), cvRound(c.y * kSubPixelScale));
    const int radius = cvRound(imp.radius * kSubPixelScale);
    cv::circle(photo, centre, radius, cv::Scalar::all(layout.ink), imp.filled ? cv::FILLED : kRingWidth, cv::LINE_8,
               kSubPixelBits);
}

}  // namespace

cv::Matx33d cameraTilt(double pitchDeg, double rollDeg, cv::Size photo)
{
    const double p = pitchDeg * kPi / 180, r = rollDeg * kPi / 180;
    const cv::Matx33d pitch(1, 0, 0, 0, std::cos(p), -std::sin(p), 0, std::sin(p), std::cos(p));
    const cv::Matx33d roll(std::cos(r), 0, std::sin(r), 0, 1, 0, -std::sin(r), 0, std::cos(r));
    const double cx = photo.width / 2.0, cy = photo.height / 2.0;
    const cv::Matx33d k(kFocalPx, 0, cx, 0, kFocalPx, cy, 0, 0, 1);
    const cv::Matx33d h = k * pitch * roll * k.inv();
    // Re-aimed so that the picture's centre stays where it was.
    const cv::Vec3d c = h * cv::Vec3d(cx, cy, 1);
    const cv::Matx33d back(1, 0, cx - c[0] / c[2], 0, 1, cy - c[1] / c[2], 0, 0, 1);
    return back * h;
}

cv::Point2d applyView(const cv::Matx33d& view, cv::Point2d p)
{
    const cv::Vec3d v = view * cv::Vec3d(p.x, p.y, 1);
    return {v[0] / v[2], v[1] / v[2]};
}

cv::Point2f sheetToPhoto(const PaperPhoto& layout, cv::Point2f p)
{
    const cv::Point2f flat = sheetToFlat(layout, p);
    const cv::Point2d seen = applyView(layout.view, flat);
    return {static_cast<float>(seen.x), static_cast<float>(seen.y)};
}

cv::Point2f sheetToFlat(const PaperPhoto& layout, cv::Point2f p)
{
    const double a = layout.angleDeg * kPi / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    const double u = p.x - layout.sheetSize.width / 2.0;
    const double v = p.y - layout.sheetSize.height / 2.0;
    // Clockwise on screen, where y grows downwards.
    return {static_cast<float>(layout.sheetCentre.x + u * c - v * s),
            static_cast<float>(layout.sheetCentre.y + u * s + v * c)};
}

std::vector<cv::Point2f> sheetCorners(const PaperPhoto& layout)
{
    const float w = layout.sheetSize.width, h = layout.sheetSize.height;
    return {sheetToPhoto(layout, {0, 0}), sheetToPhoto(layout, {w, 0}), sheetToPhoto(layout, {w, h}),
            sheetToPhoto(layout, {0, h})};
}

std::vector<cv::Rect2d> fullPagePrintMm() { return {{15, 12, 267, 186}}; }

cv::Mat drawPaperPhoto(const PaperPhoto& layout)
{
    if (layout.pureNoise) {
        cv::Mat noise(layout.photo, CV_8UC3);
        cv::RNG rng(layout.seed);
        rng.fill(noise, cv::RNG::UNIFORM, 0, 256);
        return noise;
    }
    cv::Mat photo(layout.photo, CV_8UC3, cv::Scalar::all(layout.board));
    if (layout.withSheet) {
        const float w = layout.sheetSize.width, h = layout.sheetSize.height;
        fillSheetPolygon(photo, layout, {{0, 0}, {w, 0}, {w, h}, {0, h}}, layout.paper);
        cv::RNG rng(layout.seed);
        for (const PrintBlock& block : layout.print) drawPrintBlock(photo, layout, block, rng);
        for (const Impression& imp : layout.impressions) drawImpression(photo, layout, imp);
        if (layout.haloPx > 0)
            addHalo(photo, layout,
                    {sheetToFlat(layout, {0, 0}), sheetToFlat(layout, {w, 0}), sheetToFlat(layout, {w, h}),
                     sheetToFlat(layout, {0, h})});
    }
    if (layout.blurSigma > 0) cv::GaussianBlur(photo, photo, cv::Size(), layout.blurSigma);
    if (layout.view != cv::Matx33d::eye())
        cv::warpPerspective(photo, photo, cv::Mat(layout.view), photo.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    if (layout.shade != 1.0 && !layout.shadowRows.empty()) {
        const cv::Range rows(std::max(layout.shadowRows.start, 0), std::min(layout.shadowRows.end, photo.rows));
        if (!rows.empty()) photo.rowRange(rows).convertTo(photo.rowRange(rows), -1, layout.shade);
    }
    if (layout.noise > 0 && !photo.empty()) {
        cv::Mat noise(photo.size(), CV_8SC3);
        cv::RNG rng(layout.seed * 7919u + 1);
        rng.fill(noise, cv::RNG::UNIFORM, -layout.noise, layout.noise + 1);
        cv::add(photo, noise, photo, cv::noArray(), CV_8UC3);
    }
    return photo;
}

}  // namespace stampctl::sim
