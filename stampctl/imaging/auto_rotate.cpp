// Deciding from pairs of borders how far the sheet is turned, and straightening the photo.
#include <cmath>
#include <utility>

#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"

using stampctl::kTraceInfo;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRotateAttempts = 2;
constexpr int kScanStep = 10;        // the edge scan's step (FindBorder)
constexpr double kRotateMinDeg = 0;  // any deviation above this many degrees rotates

bool isHorizontal(BORDER br) { return br == BORDER_TOP || br == BORDER_BOTTOM; }

// The deviations found so far from a perpendicular pair (P) and from a parallel pair (S).
struct TurnEstimate {
    double perpendicular = 0;
    double parallel = 0;
    float& angle;

    // Takes the pair's smaller deviation (the horizontal border on a tie) when the pair is
    // perpendicular or parallel; true when it is perpendicular.
    bool evaluate(const BorderLine& a, BORDER brA, const BorderLine& b)
    {
        const BorderLine& horizontal = isHorizontal(brA) ? a : b;
        const BorderLine& vertical = isHorizontal(brA) ? b : a;
        // A sheet running off the photo shows the photo's edge as its border there, straight
        // and at no turn: the pair's other border tells the turn.
        const BorderLine& pick = vertical.frame != horizontal.frame          ? (vertical.frame ? horizontal : vertical)
                                 : vertical.deviation < horizontal.deviation ? vertical
                                                                             : horizontal;
        if (CImgHelp::IsAngle90(a.lineAngle, b.lineAngle)) {
            perpendicular = pick.deviation;
            angle = static_cast<float>(pick.rotAngle);
            return true;
        }
        if (CImgHelp::IsAngle0(a.lineAngle, b.lineAngle)) {
            parallel = pick.deviation;
            angle = static_cast<float>(pick.rotAngle);
        }
        return false;
    }
};

// The top-left corner first; the other borders are searched only while no perpendicular pair
// has shown a turn.
void estimateTurn(const CImgHelp& img, const ScanLines& bin, const BorderLine& left, const BorderLine& top,
                  TurnEstimate& turn)
{
    if (left.found && top.found && turn.evaluate(left, BORDER_LEFT, top) && turn.perpendicular > 0) return;
    const BorderLine right = img.FindBorder(bin, BORDER_RIGHT);
    bool leftBottomAllowed = left.found;
    if (top.found && right.found && turn.evaluate(top, BORDER_TOP, right)) leftBottomAllowed = false;
    if (turn.perpendicular > 0) return;
    const BorderLine bottom = img.FindBorder(bin, BORDER_BOTTOM);
    if (right.found && bottom.found && turn.evaluate(right, BORDER_RIGHT, bottom)) return;
    if (leftBottomAllowed && bottom.found) turn.evaluate(left, BORDER_LEFT, bottom);
}

}  // namespace

bool CImgHelp::AutoRotateByPaper(const cv::Mat& src, cv::Mat& dst, const char* name, CutResult& cut) const
{
    (void)name;  // names the photo in the callers' traces only
    return rotateByPaper(src, dst, cutEzh(), cut);
}

bool CImgHelp::decideTurn(const cv::Mat& source, unsigned long level, CutResult& cut, ScanLines& bin) const
{
    // Unturned, the whole photo is thresholded in one pass (faster than picking out its scan
    // lines first) and only the scan lines are kept.
    bin = ScanLines::Of(MakeThreshold(source, level), kScanStep);
    const BorderLine left = FindBorder(bin, BORDER_LEFT);
    const BorderLine top = FindBorder(bin, BORDER_TOP);
    TrcWritef(kTraceInfo, "find left:[%d, %lf, %lf, %lf], top:[%d, %lf, %lf, %lf]", left.found, left.deviation,
              left.rotAngle, left.lineAngle, top.found, top.deviation, top.rotAngle, top.lineAngle);

    for (const auto& [line, br] : {std::pair{&left, BORDER_LEFT}, std::pair{&top, BORDER_TOP}})
        if (line->frame) TrcWritef(kTraceInfo, "AutoRotateByPaper border %d lies along the photo's edge", br);
    TurnEstimate turn{0, 0, cut.rotateAngle};
    estimateTurn(*this, bin, left, top, turn);

    double deviation = turn.perpendicular > 0 ? turn.perpendicular : turn.parallel > 0 ? turn.parallel : 0;
    deviation = deviation * 180 / kPi;
    if (deviation > kRotateMinDeg)
        cut.rotated = true;
    else
        cut.rotateAngle = 0;
    TrcWritef(kTraceInfo, "make rotate param:[旋转角度:%lf, 弧度:%lf, isRotate:%d]",
              static_cast<double>(180.0f * cut.rotateAngle) / kPi, static_cast<double>(cut.rotateAngle), cut.rotated);
    return cut.rotated;
}

bool CImgHelp::rotateByPaper(const cv::Mat& src, cv::Mat& dst, unsigned long level, CutResult& cut) const
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "AutoRotateByPaper");
    const cv::Mat source = src;  // stays valid even when the caller passes one matrix as both
    cut.rotated = false;
    if (source.empty()) {
        log.SetRet("return:%d", 0);
        return false;
    }
    ScanLines bin;
    decideTurn(source, level, cut, bin);

    if (cut.rotated) {
        for (int attempt = 1; attempt <= kRotateAttempts; ++attempt) {
            cv::Mat rotated;
            try {
                TrcWritef(kTraceInfo, "start rotate");
                cvImgRotate(source, cut.rotateAngle, rotated, cut.rotDx, cut.rotDy);
                TrcWritef(kTraceInfo, "end rotate");
                // The freshly turned matrix is handed over as the caller's new picture: it
                // shares nothing with the source, and a second full-size copy is saved.
                dst = rotated;
                TrcWritef(kTraceInfo, "dst = rotated end");
                rotated.release();
                TrcWritef(kTraceInfo, "dstImg release end");
                break;
            } catch (const cv::Exception&) {
                TrcWritef(kTraceInfo, "AutoRotateByPaper error");
                dst.release();
            }
        }
    } else {
        dst = source.clone();
    }

    log.SetRet("return:%d", cut.rotated);
    return cut.rotated;
}
