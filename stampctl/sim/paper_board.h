// The simulated machine's paper board as the document camera sees it: a dark board, an A4
// sheet laid on it at a chosen place and angle, printed marks on the sheet, and an impression
// wherever the simulated machine has stamped the sheet.
//
// One fixed geometry ties the machine's millimetres to the picture the library maps from (the
// camera frame after the library's slight enlargement about its centre): the machine's Y axis
// runs along the picture's long side, right to left, its X axis down the short side, at about
// 9.2 pixels per millimetre. The four calibration marks below sit where the simulated machine's
// factory calibration record says, so a fresh simulated machine stamps where the operator
// clicks. A small camera turn and a mechanical offset per seal give calibration something real
// to correct.
#pragma once

#include <array>
#include <functional>
#include <mutex>
#include <vector>

#include <opencv2/core.hpp>

#include "stampctl/sim/machine_state.h"
#include "stampctl/sim/paper_photo.h"

namespace stampctl::sim {

// A calibration mark: its machine position and where the picture shows it, in the quarter-turned
// picture space of the calibration record (x = picture y, y = 3265 - picture x).
struct BoardMark {
    double machineX, machineY;  // millimetres
    int turnedX, turnedY;       // pixels
};
constexpr std::array<BoardMark, 4> kBoardMarks{{
    {85, 35, 606, 575},
    {230, 35, 1933, 575},
    {85, 270, 606, 2737},
    {230, 270, 1933, 2737},
}};
constexpr int kTurnedPictureOffset = 3265;  // the calibration's quarter turn: y = 3265 - x

// The library enlarges every camera frame by this much about its centre before mapping it.
constexpr double kPictureZoom = 1.024;

// "blank": the board starts with an empty sheet (for automatic calibration from outside the
// process); otherwise with a printed letter.
constexpr const char* kSimSheetEnv = "STAMPCTL_SIM_SHEET";

constexpr double kA4LongMm = 297;
constexpr double kA4ShortMm = 210;
constexpr double kSealRadiusMm = 20;  // a 40 mm round seal
// The stamping head sits this far along the machine's X axis from where the axes put it; the
// library's default seal_dx of -15 mm makes up for it.
constexpr double kHeadOffsetXmm = 15;

// Where the sheet lies: its centre in machine millimetres and its turn, clockwise as the camera
// sees it. The sheet's long side runs along the picture's long side.
struct SheetPlacement {
    cv::Point2d centreMm{152.5, 150};  // under the middle of the picture
    double angleDeg = 0;
};

class PaperBoard {
public:
    PaperBoard();

    // Back to a fresh board: the default sheet with its default marks, no camera turn, no seal
    // offsets, the stamps made so far counted as belonging to an earlier sheet.
    void resetToDefault();

    // Lays a fresh sheet (any earlier sheet and its impressions go away).
    void laySheet(const SheetPlacement& placement);
    void removeSheet();
    // Printed marks on the sheet, each a block of text lines; rectangles in millimetres from the
    // sheet's top-left corner as the camera sees it (x along the long side).
    void setPrintMm(const std::vector<cv::Rect2d>& blocks);
    // The board's grey level (a dark board by default) and, instead of board and sheet, a photo
    // of pure noise.
    void setBoardGrey(uint8_t grey);
    void setPureNoise(bool on);
    // The camera's turn about the picture's centre, clockwise in degrees.
    void setCameraTurnDeg(double deg);
    // The camera's tilt (see cameraTilt): the board seen a little from the side.
    void setCameraTiltDeg(double pitchDeg, double rollDeg);
    // The board's light: a shadow band over the photo's rows (fractions of its height) at `shade`
    // of the brightness, and a soft shadow around the sheet (see PaperPhoto).
    void setShadowBand(double fromShare, double toShare, double shade);
    void setSoftShadow(double haloPx, uint8_t haloGrey, double blurSigma);
    // Where seal n lands relative to where it was sent, in machine millimetres.
    void setSealOffsetMm(int seal, cv::Point2d offset);
    // Where the stamps come from: every stamp the machine has taken, oldest first. By default
    // the simulated machine's record.
    void setStampSource(std::function<std::vector<StampRequest>()> source);

    // ---- geometry ---------------------------------------------------------------------------
    // Machine millimetres to the mapped picture (frame enlarged by kPictureZoom), and back.
    cv::Point2d machineToPicture(cv::Point2d mm) const;
    cv::Point2d pictureToMachine(cv::Point2d px) const;
    // The mapped picture to a frame of `frame` size, and back.
    static cv::Point2d pictureToFrame(cv::Point2d px, cv::Size frame);
    static cv::Point2d frameToPicture(cv::Point2d px, cv::Size frame);

    // ---- what the camera sees ---------------------------------------------------------------
    // The board as a frame of `frame` size. The picture of an unchanged board is shared.
    cv::Mat render(cv::Size frame);
    // Impressions on the current sheet, as centres in the mapped picture.
    std::vector<cv::Point2d> impressionsInPicture();

private:
    struct Stamp {
        cv::Point2d sheetMm;  // on the sheet: from its top-left corner, x along the long side
    };
    cv::Point2d rawMachineToPicture(cv::Point2d mm) const;
    cv::Point2d pictureToSheetMm(cv::Point2d px) const;
    // `viewed`: through the camera's tilt; otherwise as a square camera would see it.
    cv::Point2d sheetMmToPicture(cv::Point2d mm, bool viewed = true) const;
    cv::Point2d seen(cv::Point2d rawPicture) const;  // turned and tilted as the camera sits
    void takeNewStamps();                            // under m_lock
    PaperPhoto layoutFor(cv::Size frame) const;

    mutable std::mutex m_lock;
    std::function<std::vector<StampRequest>()> m_stampSource;
    bool m_hasSheet = true;
    SheetPlacement m_sheet;
    std::vector<cv::Rect2d> m_printMm;
    double m_turnDeg = 0;
    cv::Matx33d m_view = cv::Matx33d::eye();
    PaperPhoto m_light;  // the shadow and halo fields only
    uint8_t m_boardGrey = PaperPhoto{}.board;
    bool m_pureNoise = false;
    std::array<cv::Point2d, kSlotCount> m_sealOffsetMm{};
    std::vector<Stamp> m_stamps;
    size_t m_stampsSeen = 0;  // machine stamps already placed (or made before this sheet)
    uint64_t m_version = 0;   // changes whenever the picture would
    uint64_t m_renderedVersion = ~uint64_t{0};
    cv::Mat m_rendered;
};

// The board of the simulated machine.
PaperBoard& paperBoard();

}  // namespace stampctl::sim
