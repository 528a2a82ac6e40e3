// The process-wide image-processing object: finds the sheet in a photo, straightens and crops
// it, and hands back what it found as a CutResult; it keeps nothing of any photo.
//
// Pictures are 8-bit BGR photos and 1-channel thresholded pictures (cv::Mat). A region of
// interest is a sub-matrix, clipped to the picture the way the image library always clipped it.
// Operations may run on several threads at once: each works on its own locals and the result it
// was given, and reads the settings once, when it starts.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "stampctl/imaging/cut_result.h"

// Which border of the sheet; the values appear in trace lines.
enum BORDER {
    BORDER_LEFT = 0,    // rows, scanned from the left image edge
    BORDER_TOP = 1,     // columns, scanned from the top image edge
    BORDER_RIGHT = 2,   // rows, scanned from the right image edge
    BORDER_BOTTOM = 3,  // columns, scanned from the bottom image edge
};

// A circle found in a picture: centre and radius in that picture's pixels.
struct TCircle {
    float x;
    float y;
    float r;
};

// Edge points collected along rays from a circle's centre, one ray per half degree.
struct TEdgePt {
    int x;
    int y;
    int valid;  // 1 collected, 0 rejected as too far from the circle
};
struct TEdgePtArr {
    static constexpr int kMaxPoints = 720;
    int count;
    TEdgePt pt[kMaxPoints];
};

// JPEG quality, output resolution and binarisation threshold, from the configuration.
struct OutputSettings {
    int jpgQuality = 80;
    int dpi = 235;
    unsigned long threshold = 0;
};

// The sheet a photo should show, in pixels: the machine's measured A4 when its calibration record
// is loaded, otherwise a nominal A4 at about 235 dots per inch.
struct SheetSize {
    int longSide = 2745;
    int shortSide = 1943;

    // The record's sides, or the nominal sheet while the record holds none or sides more than 15 %
    // off it: a calibration once run on a photo without a sheet wrote the whole photo's size, which
    // must not make the whole photo pass for a sheet.
    static SheetSize FromRecord(int recordLong, int recordShort)
    {
        const SheetSize nominal;
        const auto near = [](int side, int nominalSide) { return std::abs(side - nominalSide) <= nominalSide * 0.15; };
        return near(recordLong, nominal.longSide) && near(recordShort, nominal.shortSide)
                   ? SheetSize{recordLong, recordShort}
                   : nominal;
    }
};

// A turn of a whole picture before its pixels: the turned picture's size, and where its pixel
// (0, 0) lies in the source.
struct TurnPlan {
    cv::Size size;
    float angle = 0, c = 1, s = 0;
    float dx = 0, dy = 0;
};

// What the edge scan learns about one border.
struct BorderLine {
    bool found = false;
    std::vector<cv::Point> edge;    // one point per scan line that crossed the border
    std::vector<cv::Point> effect;  // the points the line was fitted to
    cv::Vec4f line{};               // unit direction (vx, vy) and a point (x0, y0)
    double deviation = 0;           // angle to the image axis, 0 to pi/2
    double rotAngle = 0;            // rotation that makes the border axis-parallel, 0 to 2 pi
    double lineAngle = 0;           // folded line angle, 0 to pi, for comparing borders
    bool frame = false;             // the line is the photo's own edge, which the sheet runs past
};

// A thresholded picture as the edge scan reads it: every `step`-th row and column of a picture
// of `size` and nothing else, each column kept as a row so that every scan line is one run of
// bytes. A fraction of the whole picture's memory, which is what a photo's scan costs most.
struct ScanLines {
    cv::Size size;
    int step = 1;
    cv::Mat rows;     // CV_8UC1, row k: the picture's row k * step
    cv::Mat columns;  // CV_8UC1, row k: the picture's column k * step, top to bottom

    // The scan lines of a whole thresholded picture.
    static ScanLines Of(const cv::Mat& bin, int step);
};

class CImgHelp {
public:
    static CImgHelp* Instance();

    // ---- settings (img_help.cpp) ---------------------------------------------------------------
    void setOutputSettings(int jpgRar, int dpi, unsigned long cutEzh);
    OutputSettings outputSettings() const;
    int jpgRar() const { return outputSettings().jpgQuality; }
    int dpi() const { return outputSettings().dpi; }
    unsigned long cutEzh() const { return outputSettings().threshold; }

    // The photo's thresholded picture: grey above the threshold becomes 100, the rest 0.
    cv::Mat MakeThreshold(const cv::Mat& photo) const { return MakeThreshold(photo, cutEzh()); }
    static cv::Mat MakeThreshold(const cv::Mat& photo, unsigned long level);
    // The photo's grey picture (a one-channel picture is shared, not copied).
    static cv::Mat MakeGrey(const cv::Mat& photo);
    // A region of interest as the image library keeps it: cut down to the picture.
    static cv::Rect ClipRoi(const cv::Mat& picture, const cv::Rect& region) { return ClipRoi(picture.size(), region); }
    static cv::Rect ClipRoi(cv::Size picture, const cv::Rect& region);

    // ---- edge scan and line fit (paper_edges.cpp, line_fit.cpp) -------------------------------
    bool FindOneLineByPaper(const cv::Mat& bin, int step, BORDER br, std::vector<cv::Point>& edge,
                            std::vector<cv::Point>& effect, cv::Vec4f& line, double& deviation, double& rotAngle,
                            double& lineAngle) const;
    bool FindOneLineByPaper(const ScanLines& lines, BORDER br, std::vector<cv::Point>& edge,
                            std::vector<cv::Point>& effect, cv::Vec4f& line, double& deviation, double& rotAngle,
                            double& lineAngle) const;
    // The scan of one border with step 10, everything it finds in one record.
    BorderLine FindBorder(const cv::Mat& bin, BORDER br) const;
    BorderLine FindBorder(const ScanLines& lines, BORDER br) const;
    static bool FindEffectDot(int step, const std::vector<cv::Point>& edge, std::vector<cv::Point>& effect,
                              cv::Vec4f& line, double& deviation, double& rotAngle, bool vertical, double& lineAngle);
    static bool IsAngle90(double p, double q);
    static bool IsAngle0(double p, double q);

    // ---- deskew (auto_rotate.cpp, rotate.cpp) -------------------------------------------------
    // `dst` becomes a new picture: the straightened photo or a copy of it. True when rotated;
    // the turn goes into the rotation fields of `cut`.
    bool AutoRotateByPaper(const cv::Mat& src, cv::Mat& dst, const char* name, CutResult& cut) const;
    // Turns the whole picture by `angle` (radians) onto a black background; (dx, dy) is where
    // the result's pixel (0, 0) lies in `src`.
    static void cvImgRotate(cv::Mat src, float angle, cv::Mat& dst, float& dx, float& dy);
    static TurnPlan PlanRotate(cv::Size source, float angle);
    // A window of the turned picture, pixel for pixel what the whole turn holds there: the crop
    // turns only the sheet.
    static cv::Mat RotateWindow(const cv::Mat& src, const TurnPlan& plan, const cv::Rect& window);
    // The turned colour picture's thresholded picture on every `step`-th row and column (what the
    // edge scan reads): the sheet is found without turning the whole photo.
    static ScanLines RotatedScanThreshold(const cv::Mat& src, const TurnPlan& plan, unsigned long level, int step);

    // ---- paper rectangle (paper_area.cpp) -----------------------------------------------------
    // The nominal sheet size and, when the sheet is found, its rectangle go into `cut`; a sheet
    // not found leaves the rectangle as it was.
    bool MakePaperArea(const cv::Mat& bin, int16_t ltrb_Pixel, CutResult& cut,
                       std::array<BorderLine, 4>* borders = nullptr) const;
    bool MakePaperArea(const ScanLines& lines, int16_t ltrb_Pixel, CutResult& cut,
                       std::array<BorderLine, 4>* borders = nullptr) const;
    static bool FindSameVector(const std::vector<cv::Point>& edge, const std::vector<cv::Point>& effect, int& value,
                               BORDER br);
    static void AdjustPaperArea(cv::Size picture, int ltrb_Pixel, cv::Rect& paper);

    // ---- crop and picture files (cut.cpp) -----------------------------------------------------
    // The photo straightened, cut to the sheet and written; `cut` becomes what was found. An
    // empty photo leaves `cut` as it was.
    // A sheet that fails the plausibility check at the configured threshold is looked for once
    // more at the photo's own (Otsu) threshold; when that fails too, the photo is kept unturned
    // and whole, as for a sheet not found.
    bool AutoCutPaperByImg(const cv::Mat& src, const char* name, const char* outPath, const char* outPath2,
                           int16_t ltrb_Pixel, int quality, CutResult& cut, const SheetSize& a4 = SheetSize{}) const;
    bool AutoCutPaper(const char* srcPath, const char* outPath, int16_t ltrb_Pixel, CutResult& cut) const;
    static void SavePic(const char* path, const cv::Mat& img, int quality);
    static void revolveImg_90(const char* path);
    // The picture turned a quarter to the left (what revolveImg_90 writes back).
    static cv::Mat TurnQuarterLeft(const cv::Mat& picture);
    // Whether a picture has the size of the sheet `cut` measured, standing upright.
    static bool IsA4JpgOk(const CutResult& cut, int width, int height);
    static bool IsA4JpgOk(const CutResult& cut, const char* path);

    // ---- plausibility of a found sheet (sheet_check.cpp) --------------------------------------
    // Empty when `paper`, found in a picture of `picture` size, can be the sheet `a4`; otherwise
    // the check it failed, for the trace.
    static std::string SheetCheckFailure(const cv::Rect& paper, cv::Size picture, const SheetSize& a4);
    // How far the sheet's sides are from A4's, the larger share either way: 0 for an exact A4.
    static double SheetMisfit(const cv::Rect& paper, const SheetSize& a4);
    // A side that blur or a soft shadow widened moved to the steepest step from board to paper
    // near it, in the straightened grey picture `grey` of which `band` is given by `greyAt`.
    static void RefineToEdges(const std::function<cv::Mat(const cv::Rect&)>& greyAt, cv::Size picture, cv::Rect& paper);
    // The threshold that splits the darker of Otsu's two classes in two: the board from paper in
    // shadow.
    static unsigned long DarkOtsuLevel(const cv::Mat& photo, unsigned long otsu);
    // The threshold that best splits the photo's grey levels in two (Otsu's method).
    static unsigned long OtsuLevel(const cv::Mat& photo);
    // Whether the border's line is the photo's own edge rather than the sheet's.
    static bool IsFrameLine(const BorderLine& line, BORDER br, cv::Size picture);

    // ---- a camera not square to the board (perspective.cpp) -----------------------------------
    // The sheet's corners (top-left, top-right, bottom-right, bottom-left) where its borders (left,
    // right, top, bottom, as MakePaperArea scanned them) meet; false when a border is too short.
    static bool SheetCorners(const std::array<BorderLine, 4>& borders, const cv::Rect& paper,
                             std::array<cv::Point2d, 4>& corners);
    // How much opposite sides differ in length, as a share of their mean (the larger pair).
    static double KeystoneShare(const std::array<cv::Point2d, 4>& corners);
    static bool IsRectangle(double keystone);
    static bool IsCorrectableTilt(double keystone);
    // The homography from a cut picture of `cut` size onto the sheet's corners in the photo.
    static cv::Matx33d CutToPhoto(const std::array<cv::Point2d, 4>& inPhoto, cv::Size cut);

    // ---- blank-area check (white_paper.cpp) ---------------------------------------------------
    // 1 when the box of the cut picture holds more dark pixels than `rate`, 0 when blank, 2 when
    // it cannot tell.
    static int IsWhitePaper(const CutResult& cut, int x, int y, int width, int height, float rate);

    // ---- calibration circles (circles.cpp, circle_fit.cpp) -------------------------------------
    // One circle per cell of a rows x cols grid over the sheet, row by row, (-1, -1) for a cell
    // without one; diagnostic pictures next to the photo. Returns how many were found. The sheet
    // found is measured into `sheet` as MakePaperArea does.
    // A sheet that fails the plausibility check counts as not found. The rim search sees only
    // the sheet: the board around it is masked out of every cell.
    int FindCircleByPaper(const char* szFile, int rows, int cols, std::vector<cv::Point>& points, CutResult& sheet,
                          const SheetSize& a4 = SheetSize{}) const;
    // The same on a photo in memory; szFile names the diagnostic pictures, none is read back.
    int FindCircleByPaper(const cv::Mat& photo, const char* szFile, int rows, int cols, std::vector<cv::Point>& points,
                          CutResult& sheet, const SheetSize& a4 = SheetSize{}) const;
    // Before stamping: the share of dark sheet pixels within `radius` of each centre (pixels of
    // the photo in szFile). Empty when the photo shows no sheet that passes the plausibility check.
    std::vector<double> InkAroundByPaper(const cv::Mat& photo, const std::vector<cv::Point>& centres, int radius,
                                         const SheetSize& a4 = SheetSize{}) const;
    // True when the one-channel picture holds no circle; otherwise the refined circle is in c.
    static bool FindCircle(const cv::Mat& img, TCircle& c);
    // The first dark pixel along each of 720 rays, walked inwards across the band r +- band.
    static TEdgePtArr& FindCircleEdgePt(const cv::Mat& img, TEdgePtArr& pts, const TCircle& c, float band);
    // Marks points farther than `tolerance` from the circle's rim as rejected.
    static void DelErrPt(TEdgePtArr& pts, const TCircle& c, float tolerance);
    // Refits the circle to the points still valid; fewer than 17 leave it as it is.
    static void FitCircle(const TEdgePtArr& pts, TCircle& c);
    static void DrawCircle(cv::Mat& img, const TCircle& c);

    CImgHelp(const CImgHelp&) = delete;
    CImgHelp& operator=(const CImgHelp&) = delete;

private:
    CImgHelp();
    ~CImgHelp();

    // The deskew with the threshold the calling operation started with.
    bool rotateByPaper(const cv::Mat& src, cv::Mat& dst, unsigned long level, CutResult& cut) const;
    // The turn the sheet's borders ask for, into the rotation fields of `cut`; `lines` become the
    // photo's thresholded scan lines.
    bool decideTurn(const cv::Mat& src, unsigned long level, CutResult& cut, ScanLines& lines) const;
    // The calibration sheet in its thresholded photo, found and plausible.
    bool findSheet(const cv::Mat& bin, CutResult& sheet, const SheetSize& a4) const;
    // Finds and measures the sheet at one threshold, the photo turned only as far as the search
    // needs; what it found and how plausible it is.
    struct Attempt;
    Attempt cutAttempt(const cv::Mat& src, unsigned long level, int16_t ltrb_Pixel, const SheetSize& a4) const;
    static void straightenSlant(Attempt& a, const std::array<BorderLine, 4>& borders);

    mutable std::mutex m_settingsLock;
    OutputSettings m_settings;
};
