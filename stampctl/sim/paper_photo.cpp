#include "stampctl/sim/paper_photo.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

namespace stampctl::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSubPixelBits = 4;  // polygon corners at 1/16 pixel
constexpr float kSubPixelScale = 1 << kSubPixelBits;
constexpr int kLinePitch = 40;    // a text line every 40 pixels
constexpr int kLineHeight = 22;
constexpr int kRingWidth = 8;

std::vector<cv::Point> toSubPixel(const std::vector<cv::Point2f>& points)
{
    std::vector<cv::Point> out;
    for (const cv::Point2f& p : points)
        out.emplace_back(cvRound(p.x * kSubPixelScale), cvRound(p.y * kSubPixelScale));
    return out;
}

void fillSheetPolygon(cv::Mat& photo, const PaperPhoto& layout, const std::vector<cv::Point2f>& sheetPoints,
                      uint8_t grey)
{
    std::vector<cv::Point2f> inPhoto;
    for (const cv::Point2f& p : sheetPoints) inPhoto.push_back(sheetToPhoto(layout, p));
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
    const cv::Point2f c = sheetToPhoto(layout, imp.centre);
    const cv::Point centre(cvRound(c.x * kSubPixelScale), cvRound(c.y * kSubPixelScale));
    const int radius = cvRound(imp.radius * kSubPixelScale);
    cv::circle(photo, centre, radius, cv::Scalar::all(layout.ink), imp.filled ? cv::FILLED : kRingWidth,
               cv::LINE_8, kSubPixelBits);
}

}  // namespace

cv::Point2f sheetToPhoto(const PaperPhoto& layout, cv::Point2f p)
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

std::vector<cv::Rect2d> fullPagePrintMm()
{
    return {{15, 12, 267, 186}};
}

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
