// The paper rectangle in the straightened photo: one coordinate per border, or a fixed window.
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>
#include <utility>

#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"

using stampctl::kTraceInfo;

namespace {

constexpr int kA4LongSide = SheetSize{}.longSide;
constexpr int kA4ShortSide = SheetSize{}.shortSide;
constexpr int kWindowReach = 20;  // neighbours on each side counted with a coordinate
constexpr int kMinWindowScore = 3;
constexpr int kSupportReach = 100;  // edge points closer than this support each other
constexpr int kMinSupport = 100;
constexpr int kMaxFallbackGap = 200;
constexpr int kScanStep = 10;  // the edge scan's step (FindBorder)

int coordinateOf(const cv::Point& p, BORDER br) { return br == BORDER_LEFT || br == BORDER_RIGHT ? p.x : p.y; }

// The left and top borders lie at small coordinates, the right and bottom ones at large.
bool isOuter(int a, int b, BORDER br) { return br == BORDER_LEFT || br == BORDER_TOP ? a < b : a > b; }

int outermost(const std::vector<cv::Point>& points, BORDER br)
{
    int best = coordinateOf(points.front(), br);
    for (const cv::Point& p : points)
        if (isOuter(coordinateOf(p, br), best, br)) best = coordinateOf(p, br);
    return best;
}

// The coordinate whose neighbourhood of +-20 holds the most effective points.
int bestWindow(const std::map<int, int>& counts, int& score)
{
    int best = 0;
    score = -1;
    for (const auto& entry : counts) {
        int sum = 0;
        for (auto it = counts.lower_bound(entry.first - kWindowReach);
             it != counts.end() && it->first <= entry.first + kWindowReach; ++it)
            sum += it->second;
        if (sum > score) {  // ascending keys: on equal scores the smaller coordinate stays
            score = sum;
            best = entry.first;
        }
    }
    return best;
}

// The outermost coordinate that at least 100 edge points agree with, or -1.
int supportedCoordinate(const std::vector<cv::Point>& edge, BORDER br)
{
    std::map<int, int> support;
    for (size_t i = 0; i < edge.size(); ++i) {
        const int k = coordinateOf(edge[i], br);
        int s = 1;
        for (size_t j = i + 1; j < edge.size(); ++j)
            if (std::abs(coordinateOf(edge[j], br) - k) < kSupportReach) ++s;
        support[k] += s;
    }
    int result = -1;
    for (const auto& entry : support)
        if (entry.second >= kMinSupport && (result < 0 || isOuter(entry.first, result, br))) result = entry.first;
    return result;
}

}  // namespace

bool CImgHelp::FindSameVector(const std::vector<cv::Point>& edge, const std::vector<cv::Point>& effect, int& value,
                              BORDER br)
{
    if (edge.empty() || effect.empty()) return false;

    std::map<int, int> counts;
    for (const cv::Point& p : effect) ++counts[coordinateOf(p, br)];
    const int outerEffect = outermost(effect, br);

    int score = 0;
    const int windowed = bestWindow(counts, score);
    if (score >= kMinWindowScore) {
        value = windowed;
    } else {
        score = 0;
        const int supported = supportedCoordinate(edge, br);
        if (supported >= 1) {
            value = supported;
        } else {
            const int outerEdge = outermost(edge, br);
            value = std::abs(outerEffect - outerEdge) < kMaxFallbackGap && isOuter(outerEdge, outerEffect, br)
                        ? outerEdge
                        : outerEffect;
        }
    }
    TrcWritef(kTraceInfo, "FindSameVector br:%d, same times:%d, value:%d", static_cast<int>(br), score, value);
    return true;
}

void CImgHelp::AdjustPaperArea(cv::Size picture, int ltrb_Pixel, cv::Rect& paper)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "AdjustPaperArea ltrb_Pixel:%d", ltrb_Pixel);
    if (ltrb_Pixel <= 0) return;
    const int m = ltrb_Pixel;
    const int w = picture.width;
    const int h = picture.height;
    TrcWritef(kTraceInfo, "AdjustPaperArea before (iCutXmin:%d, iCutYmin:%d, iPixelX:%d, iPixelY:%d)", paper.x, paper.y,
              paper.width, paper.height);

    // Each side grows by the margin, the near sides down to the picture's edge and the far
    // sides to one pixel short of it.
    const auto grow = [m](int& start, int& length, int limit) {
        int added = m;
        if (start - m <= 0) {
            added = start;
            start = 0;
        } else {
            start -= m;
        }
        if (start + length + added + m >= limit)
            length = limit - start - 1;
        else
            length += added + m;
    };
    grow(paper.x, paper.width, w);
    grow(paper.y, paper.height, h);
    TrcWritef(kTraceInfo, "AdjustPaperArea end (iCutXmin:%d, iCutYmin:%d, iPixelX:%d, iPixelY:%d, w:%d, h:%d)", paper.x,
              paper.y, paper.width, paper.height, w, h);
}

bool CImgHelp::MakePaperArea(const cv::Mat& bin, int16_t ltrb_Pixel, CutResult& cut,
                             std::array<BorderLine, 4>* borders) const
{
    return MakePaperArea(ScanLines::Of(bin, kScanStep), ltrb_Pixel, cut, borders);
}

bool CImgHelp::MakePaperArea(const ScanLines& lines, int16_t ltrb_Pixel, CutResult& cut,
                             std::array<BorderLine, 4>* borders) const
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "MakePaperArea ltrb_Pixel:%d, m_bRotatePaper:%d", ltrb_Pixel, cut.rotated);
    cut.paperWidth = kA4LongSide;
    cut.paperHeight = kA4ShortSide;
    cv::Rect& paper = cut.paper;
    const int w = lines.size.width;
    const int h = lines.size.height;

    if (ltrb_Pixel >= 1) {  // a configured margin: a fixed window, no detection
        paper.width = kA4LongSide + 2 * ltrb_Pixel;
        paper.height = kA4ShortSide + 2 * ltrb_Pixel;
        paper.x = std::max(w / 2 - paper.width / 2, 0);
        paper.y = std::max(h / 2 - paper.height / 2, 0);
        TrcWritef(kTraceInfo, "MakePaperArea no cut %d-%d-%d-%d", paper.x, paper.y, paper.width, paper.height);
        return true;
    }

    const BORDER order[4] = {BORDER_LEFT, BORDER_RIGHT, BORDER_TOP, BORDER_BOTTOM};
    BorderLine found[4];
    int coord[4] = {-1, -1, -1, -1};
    bool same[4] = {};
    for (int i = 0; i < 4; ++i) {
        found[i] = FindBorder(lines, order[i]);
        same[i] = FindSameVector(found[i].edge, found[i].effect, coord[i], order[i]);
    }
    const int left = coord[0], right = coord[1], top = coord[2], bottom = coord[3];
    const BorderLine &l = found[0], &r = found[1], &t = found[2], &b = found[3];
    if (left < 0 || right < 0 || top < 0 || bottom < 0 || right - left <= 0 || bottom - top <= 0) {
        TrcWritef(kTraceInfo,
                  "MakePaperArea paper fail (bL:%d, langle:(%lf:%lf)), (bB:%d, rangle:(%lf:%lf)), "
                  "(bT:%d, tangle:(%lf:%lf)), (bB:%d, bangle:(%lf:%lf))",
                  same[0], l.deviation, l.rotAngle, same[1], r.deviation, r.rotAngle, same[2], t.deviation, t.rotAngle,
                  same[3], b.deviation, b.rotAngle);
        return false;
    }
    // Grows nothing here (the margin is below 1); kept for the lines it traces.
    AdjustPaperArea(lines.size, ltrb_Pixel, paper);
    paper = cv::Rect(left, top, right - left, bottom - top);
    if (borders) std::move(std::begin(found), std::end(found), borders->begin());
    TrcWritef(kTraceInfo,
              "MakePaperArea paper success(x:%d, y:%d, w:%d, h:%d) langle:(%lf:%lf), "
              "rangle:(%lf:%lf), tangle:(%lf:%lf), bangle:(%lf:%lf)",
              paper.x, paper.y, paper.width, paper.height, l.deviation, l.rotAngle, r.deviation, r.rotAngle,
              t.deviation, t.rotAngle, b.deviation, b.rotAngle);
    return true;
}
