// A synthetic document photo: the dark paper board seen from above with a white sheet on it,
// printed text-like blocks and round impressions on the sheet. Used by the tests and the
// benchmarks, and the picture source of the simulated document camera.
#pragma once

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace stampctl::sim {

constexpr int kPhotoWidth = 3264;
constexpr int kPhotoHeight = 2448;

// A block of printed lines, in sheet pixels (origin at the sheet's top-left corner).
struct PrintBlock {
    cv::Rect area;
};

// A round stamp impression, in sheet pixels.
struct Impression {
    cv::Point2f centre;
    float radius = 60;
    bool filled = false;  // a solid dot rather than a ring
};

struct PaperPhoto {
    cv::Size photo{kPhotoWidth, kPhotoHeight};
    bool withSheet = true;
    cv::Point2f sheetCentre{kPhotoWidth / 2.0f, kPhotoHeight / 2.0f};  // in the photo
    cv::Size2f sheetSize{2745, 1943};
    double angleDeg = 0;  // clockwise as seen in the photo: the top border falls to the right
    std::vector<PrintBlock> print;
    std::vector<Impression> impressions;
    uint8_t board = 35;  // grey levels
    uint8_t paper = 225;
    uint8_t ink = 30;
    int noise = 6;  // +- grey-level noise over the whole photo
    uint32_t seed = 1;
    bool pureNoise = false;  // no board, no sheet: every pixel any grey level

    // Light and camera, as mounted machines show them.
    // A shadow across the whole photo (the housing's): its rows at `shade` of their brightness.
    cv::Range shadowRows{0, 0};
    double shade = 1.0;
    // Soft shadow around the sheet: the board brightens towards `haloGrey` next to the sheet,
    // falling off over `haloPx` pixels, and every edge is blurred (`blurSigma` pixels).
    double haloPx = 0;
    uint8_t haloGrey = 0;
    double blurSigma = 0;
    // The camera not square to the board: the flat picture seen through this homography.
    cv::Matx33d view = cv::Matx33d::eye();
};

// The homography of a camera tilted by `pitchDeg` (about the photo's horizontal axis: the top
// edge of the picture moves away) and `rollDeg` (about the vertical axis: the right edge moves
// away), mounted about 400 mm above the board, its picture centre kept in place.
cv::Matx33d cameraTilt(double pitchDeg, double rollDeg, cv::Size photo = {kPhotoWidth, kPhotoHeight});
cv::Point2d applyView(const cv::Matx33d& view, cv::Point2d p);

// A page of print from margin to margin: what an operator who left the wrong sheet in puts
// under the seals. Millimetres of a 297 x 210 sheet, x along the long side.
std::vector<cv::Rect2d> fullPagePrintMm();

// The photo as an 8-bit BGR picture.
cv::Mat drawPaperPhoto(const PaperPhoto& layout);

// Where a point of the sheet (sheet pixels) lies in the photo.
cv::Point2f sheetToPhoto(const PaperPhoto& layout, cv::Point2f sheetPoint);
// The same before the camera's view: on the flat board under a square camera.
cv::Point2f sheetToFlat(const PaperPhoto& layout, cv::Point2f sheetPoint);

// The sheet's corners in the photo: top-left, top-right, bottom-right, bottom-left.
std::vector<cv::Point2f> sheetCorners(const PaperPhoto& layout);

}  // namespace stampctl::sim
