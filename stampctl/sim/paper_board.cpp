#include "stampctl/sim/paper_board.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include <opencv2/imgproc.hpp>

#include "stampctl/sim/sim_machine.h"

namespace stampctl::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;

cv::Point2d turn(cv::Point2d p, cv::Point2d centre, double deg)
{
    // Clockwise on screen, where y grows downwards.
    const double a = deg * kPi / 180.0, c = std::cos(a), s = std::sin(a);
    const cv::Point2d d = p - centre;
    return {centre.x + d.x * c - d.y * s, centre.y + d.x * s + d.y * c};
}

const cv::Point2d kPictureCentre{kPhotoWidth / 2.0, kPhotoHeight / 2.0};

// A letter: heading, two paragraphs and a signature block, with room left for a seal.
std::vector<cv::Rect2d> defaultPrint()
{
    const char* sheet = std::getenv(kSimSheetEnv);
    if (sheet && std::strcmp(sheet, "blank") == 0) return {};
    return {{100, 18, 100, 8}, {25, 40, 250, 55}, {25, 105, 150, 45}, {190, 165, 85, 22}};
}

double lerp(double p, double p1, double p2, double v1, double v2) { return v1 + (p - p1) * (v2 - v1) / (p2 - p1); }

}  // namespace

PaperBoard::PaperBoard() : m_printMm(defaultPrint())
{
    m_stampSource = [] { return machine().stamps(); };
}

void PaperBoard::resetToDefault()
{
    std::lock_guard<std::mutex> lock(m_lock);
    takeNewStamps();
    m_hasSheet = true;
    m_sheet = SheetPlacement{};
    m_printMm = defaultPrint();
    m_turnDeg = 0;
    m_view = cv::Matx33d::eye();
    m_light = PaperPhoto{};
    m_boardGrey = PaperPhoto{}.board;
    m_pureNoise = false;
    m_sealOffsetMm.fill({0, 0});
    m_stamps.clear();
    ++m_version;
}

void PaperBoard::laySheet(const SheetPlacement& placement)
{
    std::lock_guard<std::mutex> lock(m_lock);
    takeNewStamps();  // they went onto the old sheet
    m_hasSheet = true;
    m_sheet = placement;
    m_stamps.clear();
    ++m_version;
}

void PaperBoard::removeSheet()
{
    std::lock_guard<std::mutex> lock(m_lock);
    takeNewStamps();
    m_hasSheet = false;
    m_stamps.clear();
    ++m_version;
}

void PaperBoard::setPrintMm(const std::vector<cv::Rect2d>& blocks)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_printMm = blocks;
    ++m_version;
}

void PaperBoard::setBoardGrey(uint8_t grey)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_boardGrey = grey;
    ++m_version;
}

void PaperBoard::setPureNoise(bool on)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_pureNoise = on;
    ++m_version;
}

void PaperBoard::setCameraTurnDeg(double deg)
{
    std::lock_guard<std::mutex> lock(m_lock);
    takeNewStamps();  // already on the paper: the turn changes only how they look
    m_turnDeg = deg;
    ++m_version;
}

void PaperBoard::setCameraTiltDeg(double pitchDeg, double rollDeg)
{
    std::lock_guard<std::mutex> lock(m_lock);
    takeNewStamps();
    m_view = cameraTilt(pitchDeg, rollDeg);
    ++m_version;
}

void PaperBoard::setShadowBand(double fromShare, double toShare, double shade)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_light.shadowRows = cv::Range(cvRound(fromShare * kPhotoHeight), cvRound(toShare * kPhotoHeight));
    m_light.shade = shade;
    ++m_version;
}

void PaperBoard::setSoftShadow(double haloPx, uint8_t haloGrey, double blurSigma)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_light.haloPx = haloPx;
    m_light.haloGrey = haloGrey;
    m_light.blurSigma = blurSigma;
    ++m_version;
}

void PaperBoard::setSealOffsetMm(int seal, cv::Point2d offset)
{
    if (seal < 1 || seal > kSlotCount) return;
    std::lock_guard<std::mutex> lock(m_lock);
    takeNewStamps();
    m_sealOffsetMm[seal - 1] = offset;
}

void PaperBoard::setStampSource(std::function<std::vector<StampRequest>()> source)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_stampSource = std::move(source);
    m_stampsSeen = 0;
    m_stamps.clear();
    ++m_version;
}

// ---- geometry ---------------------------------------------------------------------------------

cv::Point2d PaperBoard::rawMachineToPicture(cv::Point2d mm) const
{
    const BoardMark& a = kBoardMarks[0];
    const BoardMark& b = kBoardMarks[1];  // along machine X
    const BoardMark& c = kBoardMarks[2];  // along machine Y
    const double tx = lerp(mm.x, a.machineX, b.machineX, a.turnedX, b.turnedX);
    const double ty = lerp(mm.y, a.machineY, c.machineY, a.turnedY, c.turnedY);
    return {kTurnedPictureOffset - ty, tx};
}

cv::Point2d PaperBoard::machineToPicture(cv::Point2d mm) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return seen(rawMachineToPicture(mm));
}

cv::Point2d PaperBoard::seen(cv::Point2d rawPicture) const
{
    return applyView(m_view, turn(rawPicture, kPictureCentre, m_turnDeg));
}

cv::Point2d PaperBoard::pictureToMachine(cv::Point2d px) const
{
    double turnDeg;
    cv::Matx33d view;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        turnDeg = m_turnDeg;
        view = m_view;
    }
    const cv::Point2d straight = turn(applyView(view.inv(), px), kPictureCentre, -turnDeg);
    const BoardMark& a = kBoardMarks[0];
    const BoardMark& b = kBoardMarks[1];
    const BoardMark& c = kBoardMarks[2];
    const double tx = straight.y, ty = kTurnedPictureOffset - straight.x;
    return {lerp(tx, a.turnedX, b.turnedX, a.machineX, b.machineX),
            lerp(ty, a.turnedY, c.turnedY, a.machineY, c.machineY)};
}

// The library resizes a W x H frame to int(W * zoom) x int(H * zoom) (pixel centres aligned)
// and cuts W x H out of the middle; these undo and redo that for one point.
cv::Point2d PaperBoard::pictureToFrame(cv::Point2d px, cv::Size frame)
{
    const double sx = frame.width / double(kPhotoWidth), sy = frame.height / double(kPhotoHeight);
    const int zw = static_cast<int>(frame.width * kPictureZoom);
    const int zh = static_cast<int>(frame.height * kPictureZoom);
    const double zx = px.x * sx + (zw - frame.width) / 2;
    const double zy = px.y * sy + (zh - frame.height) / 2;
    return {(zx + 0.5) * frame.width / zw - 0.5, (zy + 0.5) * frame.height / zh - 0.5};
}

cv::Point2d PaperBoard::frameToPicture(cv::Point2d px, cv::Size frame)
{
    const double sx = frame.width / double(kPhotoWidth), sy = frame.height / double(kPhotoHeight);
    const int zw = static_cast<int>(frame.width * kPictureZoom);
    const int zh = static_cast<int>(frame.height * kPictureZoom);
    const double zx = (px.x + 0.5) * zw / frame.width - 0.5;
    const double zy = (px.y + 0.5) * zh / frame.height - 0.5;
    return {(zx - (zw - frame.width) / 2) / sx, (zy - (zh - frame.height) / 2) / sy};
}

// The sheet's long side runs along the picture's x, which is the machine's -Y; its short side
// along the picture's y, the machine's +X.
cv::Point2d PaperBoard::sheetMmToPicture(cv::Point2d mm, bool viewed) const
{
    const cv::Point2d fromCentre = turn(mm - cv::Point2d(kA4LongMm / 2, kA4ShortMm / 2), {0, 0}, m_sheet.angleDeg);
    const cv::Point2d machineMm = m_sheet.centreMm + cv::Point2d(fromCentre.y, -fromCentre.x);
    const cv::Point2d turned = turn(rawMachineToPicture(machineMm), kPictureCentre, m_turnDeg);
    return viewed ? applyView(m_view, turned) : turned;
}

cv::Point2d PaperBoard::pictureToSheetMm(cv::Point2d px) const
{
    const cv::Point2d straight = turn(applyView(m_view.inv(), px), kPictureCentre, -m_turnDeg);
    const BoardMark& a = kBoardMarks[0];
    const BoardMark& b = kBoardMarks[1];
    const BoardMark& c = kBoardMarks[2];
    const double tx = straight.y, ty = kTurnedPictureOffset - straight.x;
    const cv::Point2d machineMm(lerp(tx, a.turnedX, b.turnedX, a.machineX, b.machineX),
                                lerp(ty, a.turnedY, c.turnedY, a.machineY, c.machineY));
    const cv::Point2d d = machineMm - m_sheet.centreMm;
    return turn({-d.y, d.x}, {0, 0}, -m_sheet.angleDeg) + cv::Point2d(kA4LongMm / 2, kA4ShortMm / 2);
}

void PaperBoard::takeNewStamps()
{
    if (!m_stampSource) return;
    const std::vector<StampRequest> all = m_stampSource();
    if (all.size() < m_stampsSeen) m_stampsSeen = 0;  // the machine was reset to its default
    for (size_t i = m_stampsSeen; i < all.size(); ++i) {
        const StampRequest& st = all[i];
        if (!st.made || !m_hasSheet) continue;
        cv::Point2d landed(st.xMm() + kHeadOffsetXmm, st.yMm());
        if (st.seal >= 1 && st.seal <= kSlotCount) landed += m_sealOffsetMm[st.seal - 1];
        m_stamps.push_back({pictureToSheetMm(seen(rawMachineToPicture(landed)))});
        ++m_version;
    }
    m_stampsSeen = all.size();
}

std::vector<cv::Point2d> PaperBoard::impressionsInPicture()
{
    std::lock_guard<std::mutex> lock(m_lock);
    takeNewStamps();
    std::vector<cv::Point2d> out;
    for (const Stamp& st : m_stamps) out.push_back(sheetMmToPicture(st.sheetMm));
    return out;
}

// ---- picture ------------------------------------------------------------------------------------

PaperPhoto PaperBoard::layoutFor(cv::Size frame) const
{
    PaperPhoto layout = m_light;
    layout.photo = frame;
    layout.withSheet = m_hasSheet;
    layout.board = m_boardGrey;
    layout.pureNoise = m_pureNoise;
    if (!m_hasSheet) return layout;

    // The sheet is laid out as a square camera sees it; the tilt is the layout's view.
    std::vector<cv::Point2f> flat, tilted;
    for (const cv::Point2d corner : {cv::Point2d(0, 0), cv::Point2d(kPhotoWidth, 0),
                                     cv::Point2d(kPhotoWidth, kPhotoHeight), cv::Point2d(0, kPhotoHeight)}) {
        flat.push_back(pictureToFrame(corner, frame));
        tilted.push_back(pictureToFrame(applyView(m_view, corner), frame));
    }
    layout.view = cv::Matx33d(cv::getPerspectiveTransform(flat, tilted));
    auto toFrame = [&](cv::Point2d sheetMm) {
        const cv::Point2d f = pictureToFrame(sheetMmToPicture(sheetMm, false), frame);
        return cv::Point2f(static_cast<float>(f.x), static_cast<float>(f.y));
    };
    const cv::Point2f centre = toFrame({kA4LongMm / 2, kA4ShortMm / 2});
    const cv::Point2f left = toFrame({0, kA4ShortMm / 2}), right = toFrame({kA4LongMm, kA4ShortMm / 2});
    const cv::Point2f top = toFrame({kA4LongMm / 2, 0}), bottom = toFrame({kA4LongMm / 2, kA4ShortMm});
    const double perMmX = cv::norm(right - left) / kA4LongMm;
    const double perMmY = cv::norm(bottom - top) / kA4ShortMm;
    layout.sheetCentre = centre;
    layout.sheetSize = cv::Size2f(static_cast<float>(kA4LongMm * perMmX), static_cast<float>(kA4ShortMm * perMmY));
    layout.angleDeg = std::atan2(right.y - left.y, right.x - left.x) * 180.0 / kPi;

    for (const cv::Rect2d& r : m_printMm)
        layout.print.push_back({cv::Rect(cvRound(r.x * perMmX), cvRound(r.y * perMmY), cvRound(r.width * perMmX),
                                         cvRound(r.height * perMmY))});
    // Each impression goes exactly where its stamp landed: back from the frame into the layout's
    // own sheet pixels.
    const double a = layout.angleDeg * kPi / 180.0, c = std::cos(a), s = std::sin(a);
    for (const Stamp& st : m_stamps) {
        const cv::Point2f f = toFrame(st.sheetMm);
        const double dx = f.x - centre.x, dy = f.y - centre.y;
        Impression imp;
        imp.centre = cv::Point2f(static_cast<float>(dx * c + dy * s + layout.sheetSize.width / 2),
                                 static_cast<float>(-dx * s + dy * c + layout.sheetSize.height / 2));
        imp.radius = static_cast<float>(kSealRadiusMm * (perMmX + perMmY) / 2);
        layout.impressions.push_back(imp);
    }
    return layout;
}

cv::Mat PaperBoard::render(cv::Size frame)
{
    std::lock_guard<std::mutex> lock(m_lock);
    takeNewStamps();
    if (m_renderedVersion != m_version || m_rendered.size() != frame) {
        m_rendered = drawPaperPhoto(layoutFor(frame));
        m_renderedVersion = m_version;
    }
    return m_rendered;
}

PaperBoard& paperBoard()
{
    static PaperBoard board;
    return board;
}

}  // namespace stampctl::sim
