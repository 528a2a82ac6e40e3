// Turning a whole photo in 12-bit fixed point, bilinear for colour pictures.
//
// A destination pixel (xd, yd) samples the source at (xd c + yd s + dx, -xd s + yd c + dy). Both
// coordinates are linear along a row, so the columns that sample inside the source form one
// interval per row; it is worked out exactly in integers, the pixels outside it are black, and
// the inner loop runs without bounds checks. Rows are independent and run in parallel.
//
// Fixed-point values are the real ones times 4096, truncated towards zero. A colour pixel is
// sampled only when its position lies in [0, W - 1) x [0, H - 1), where the integer parts
// (floor for x, truncation for y) agree; a grey pixel, by nearest neighbour, in [0, W) x [0, H).
#include <algorithm>
#include <cmath>
#include <cstring>

#include <immintrin.h>

#include "stampctl/core/trace.h"
#include "stampctl/imaging/img_help.h"

namespace {

constexpr int kFracBits = 12;
constexpr int kOne = 1 << kFracBits;  // 1.0 in fixed point
constexpr int kFracMask = kOne - 1;
constexpr int kWeightBits = 2 * kFracBits;  // the bilinear weights multiply two fractions

int64_t floorDiv(int64_t a, int64_t b)  // b > 0
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The columns xd in [0, n) for which lo <= base + xd * step < hi, as [first, last).
void linearRange(int64_t base, int64_t step, int64_t lo, int64_t hi, int n, int& first, int& last)
{
    int64_t a = 0, b = n;
    if (step > 0) {
        a = -floorDiv(base - lo, step);  // ceil((lo - base) / step)
        b = -floorDiv(base - hi, step);  // ceil((hi - base) / step)
    } else if (step < 0) {
        b = floorDiv(base - lo, -step) + 1;
        a = floorDiv(base - hi, -step) + 1;
    } else if (base < lo || base >= hi) {
        b = 0;
    }
    a = std::clamp<int64_t>(a, 0, n);
    b = std::clamp<int64_t>(b, a, n);
    first = static_cast<int>(a);
    last = static_cast<int>(b);
}

struct Sampling {
    int x0, y0;  // source position of the destination's (0, 0), fixed point
    int cosF, sinF;
};

// The columns [first, last) of destination row `yd` that sample inside the source, and the
// fixed-point source position of column `first`.
struct RowSpan {
    int first, last;
    int x, y;
};

RowSpan rowSpan(const cv::Mat& src, int dstCols, const Sampling& f, int yd)
{
    const int64_t xLimit = static_cast<int64_t>(src.cols - 1) * kOne;
    const int64_t yLimit = static_cast<int64_t>(src.rows - 1) * kOne;
    const int rx = f.x0 + yd * f.sinF;
    const int ry = f.y0 + yd * f.cosF;
    int xa, xb, ya, yb;
    linearRange(rx, f.cosF, 0, xLimit, dstCols, xa, xb);
    linearRange(ry, -static_cast<int64_t>(f.sinF), 0, yLimit, dstCols, ya, yb);
    RowSpan span;
    span.first = std::max(xa, ya);
    span.last = std::max(span.first, std::min(xb, yb));
    span.x = rx + span.first * f.cosF;
    span.y = ry - span.first * f.sinF;
    return span;
}

// One bilinear pixel: horizontal then vertical, the same sum as the four-term formula term
// for term, and at most 255 * 2^24, so it never leaves 32 unsigned bits.
inline void bilinearPixel(const uchar* p0, size_t srcStep, uint32_t fx, uint32_t fy, uchar* o)
{
    const uint32_t wx0 = kOne - fx, wy0 = kOne - fy;
    const uchar* p1 = p0 + srcStep;
    for (int ch = 0; ch < 3; ++ch) {
        const uint32_t top = p0[ch] * wx0 + p0[ch + 3] * fx;
        const uint32_t bottom = p1[ch] * wx0 + p1[ch + 3] * fx;
        o[ch] = static_cast<uchar>((top * wy0 + bottom * fy) >> kWeightBits);
    }
}

inline const uchar* sourcePixel(const uchar* data, size_t srcStep, int x, int y)
{
    return data + static_cast<size_t>(y >> kFracBits) * srcStep + static_cast<size_t>(x >> kFracBits) * 3;
}

void rotateRowsBgrScalar(const cv::Mat& src, cv::Mat& dst, const Sampling& f, const cv::Range& rows)
{
    const size_t srcStep = src.step[0];
    for (int yd = rows.start; yd < rows.end; ++yd) {
        uchar* out = dst.ptr<uchar>(yd);
        RowSpan r = rowSpan(src, dst.cols, f, yd);
        std::memset(out, 0, static_cast<size_t>(r.first) * 3);
        uchar* o = out + r.first * 3;
        for (int xd = r.first; xd < r.last; ++xd, r.x += f.cosF, r.y -= f.sinF, o += 3)
            bilinearPixel(sourcePixel(src.data, srcStep, r.x, r.y), srcStep, r.x & kFracMask, r.y & kFracMask, o);
        std::memset(out + r.last * 3, 0, static_cast<size_t>(dst.cols - r.last) * 3);
    }
}

// The same pixels with AVX2: both rows' neighbours in one register, spread to 16-bit lanes
// (b0 b1 g0 g1 r0 r1 per row), one multiply-add for the horizontal step of both rows and one
// 32-bit multiply for the vertical step.
__attribute__((target("avx2"))) void rotateRowsBgrAvx2(const cv::Mat& src, cv::Mat& dst, const Sampling& f,
                                                       const cv::Range& rows)
{
    // Locals, not members: stores through uchar pointers would otherwise force reloads.
    const size_t srcStep = src.step[0];
    const uchar* const data = src.data;
    const uchar* const dataEnd = src.dataend;
    const int cosF = f.cosF, sinF = f.sinF;
    const int dstCols = dst.cols;
    constexpr ptrdiff_t kLoad = 8;
    constexpr size_t kPrefetchRows = 2;
    const __m256i spread = _mm256_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1, 0, -1, 3, -1, 1,
                                            -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1);
    const __m256i upperRowOne = _mm256_setr_epi32(kOne, kOne, kOne, kOne, 0, 0, 0, 0);
    for (int yd = rows.start; yd < rows.end; ++yd) {
        uchar* out = dst.ptr<uchar>(yd);
        RowSpan r = rowSpan(src, dstCols, f, yd);
        std::memset(out, 0, static_cast<size_t>(r.first) * 3);
        // Each pixel stores four bytes; the row's last column is left to the plain code so that
        // no store reaches into the next row.
        const int wideLast = std::min(r.last, dstCols - 1);
        uchar* o = out + r.first * 3;
        int x = r.x, y = r.y, xd = r.first;
        for (; xd < wideLast; ++xd, x += cosF, y -= sinF, o += 3) {
            const int fx = x & kFracMask, fy = y & kFracMask;
            const uchar* p0 = sourcePixel(data, srcStep, x, y);
            const uchar* p1 = p0 + srcStep;
            if (dataEnd - p1 < kLoad) {  // the load would leave the picture
                bilinearPixel(p0, srcStep, fx, fy, o);
                continue;
            }
            // The row two below is what the next destination rows will need: the walk crosses
            // source rows every few dozen pixels, too often for the hardware to see a stream.
            if (dataEnd - p1 > static_cast<ptrdiff_t>(kPrefetchRows * srcStep))
                _mm_prefetch(reinterpret_cast<const char*>(p1 + kPrefetchRows * srcStep), _MM_HINT_T0);
            const __m256i rowsPair =
                _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p0))),
                                        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p1)), 1);
            const __m256i wx = _mm256_set1_epi32((kOne - fx) | (fx << 16));
            const __m256i horizontal = _mm256_madd_epi16(_mm256_shuffle_epi8(rowsPair, spread), wx);
            // (1 - fy) for the upper row, fy for the lower one.
            const __m256i wy = _mm256_abs_epi32(_mm256_sub_epi32(_mm256_set1_epi32(fy), upperRowOne));
            const __m256i weighted = _mm256_mullo_epi32(horizontal, wy);
            const __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(weighted), _mm256_extracti128_si256(weighted, 1));
            const __m128i v = _mm_srli_epi32(sum, kWeightBits);
            const int packed = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packus_epi32(v, v), v));
            std::memcpy(o, &packed, 4);
        }
        for (; xd < r.last; ++xd, x += cosF, y -= sinF, o += 3)
            bilinearPixel(sourcePixel(data, srcStep, x, y), srcStep, x & kFracMask, y & kFracMask, o);
        std::memset(out + r.last * 3, 0, static_cast<size_t>(dstCols - r.last) * 3);
    }
}

void rotateRowsBgr(const cv::Mat& src, cv::Mat& dst, const Sampling& f, const cv::Range& rows)
{
    static const bool wide = __builtin_cpu_supports("avx2");
    if (wide)
        rotateRowsBgrAvx2(src, dst, f, rows);
    else
        rotateRowsBgrScalar(src, dst, f, rows);
}

void rotateRowsGrey(const cv::Mat& src, cv::Mat& dst, const Sampling& f, const cv::Range& rows)
{
    const int64_t xLimit = static_cast<int64_t>(src.cols) * kOne;
    const int64_t yLimit = static_cast<int64_t>(src.rows) * kOne;
    for (int yd = rows.start; yd < rows.end; ++yd) {
        uchar* out = dst.ptr<uchar>(yd);
        const int rx = f.x0 + yd * f.sinF;
        const int ry = f.y0 + yd * f.cosF;
        for (int xd = 0; xd < dst.cols; ++xd) {
            const int64_t x = rx + static_cast<int64_t>(xd) * f.cosF;
            const int64_t y = ry - static_cast<int64_t>(xd) * f.sinF;
            out[xd] = (x >= 0 && x < xLimit && y >= 0 && y < yLimit)
                          ? src.at<uchar>(static_cast<int>(y >> kFracBits), static_cast<int>(x >> kFracBits))
                          : 0;
        }
    }
}

}  // namespace

// The turned picture's size and offsets, worked out as the whole turn does before any pixel.
TurnPlan CImgHelp::PlanRotate(cv::Size source, float angle)
{
    TurnPlan plan;
    plan.angle = angle;
    plan.c = std::cos(angle);
    plan.s = std::sin(angle);
    const float c = plan.c, s = plan.s;
    const int w = source.width;
    const int h = source.height;
    // The turned corners, relative to the centre; the new size spans both diagonals.
    const int xs[4] = {(1 - w) / 2, (w - 1) / 2, (w - 1) / 2, (1 - w) / 2};
    const int ys[4] = {(1 - h) / 2, (1 - h) / 2, (h - 1) / 2, (h - 1) / 2};
    float tx[4], ty[4];
    for (int i = 0; i < 4; ++i) {
        tx[i] = xs[i] * c + ys[i] * s;
        ty[i] = -xs[i] * s + ys[i] * c;
    }
    const int newW = static_cast<int>(std::max(std::fabs(tx[0] - tx[2]), std::fabs(tx[1] - tx[3])) + 0.5);
    const int newH = static_cast<int>(std::max(std::fabs(ty[0] - ty[2]), std::fabs(ty[1] - ty[3])) + 0.5);
    plan.size = cv::Size(newW, newH);
    plan.dx = w / 2.0f - (newW / 2.0f) * c - (newH / 2.0f) * s;
    plan.dy = h / 2.0f + (newW / 2.0f) * s - (newH / 2.0f) * c;
    return plan;
}

namespace {

// The fixed-point walk of the whole turned picture, started at the window's top-left pixel: the
// same integers the whole turn reaches there, so a window holds exactly the whole turn's pixels.
Sampling samplingFor(const TurnPlan& plan, cv::Point origin)
{
    const int x0 = static_cast<int>(plan.dx * kOne), y0 = static_cast<int>(plan.dy * kOne);
    const int cosF = static_cast<int>(plan.c * kOne), sinF = static_cast<int>(plan.s * kOne);
    return Sampling{x0 + origin.x * cosF + origin.y * sinF, y0 - origin.x * sinF + origin.y * cosF, cosF, sinF};
}

void rotateInto(const cv::Mat& src, const Sampling& f, cv::Mat& dst)
{
    if (src.depth() != CV_8U || dst.empty()) return;
    if (src.channels() == 3) {
        cv::parallel_for_(cv::Range(0, dst.rows), [&](const cv::Range& r) { rotateRowsBgr(src, dst, f, r); });
    } else if (src.channels() == 1) {
        cv::parallel_for_(cv::Range(0, dst.rows), [&](const cv::Range& r) { rotateRowsGrey(src, dst, f, r); });
    }
}

}  // namespace

void CImgHelp::cvImgRotate(cv::Mat src, float angle, cv::Mat& dst, float& dx, float& dy)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CImgHelp::cvImgRotate");
    const TurnPlan plan = PlanRotate(src.size(), angle);
    if (dst.data && dst.datastart == src.datastart) dst.release();  // never write over the source
    dst.create(plan.size, src.type());
    dx = plan.dx;
    dy = plan.dy;
    rotateInto(src, samplingFor(plan, {0, 0}), dst);
}

cv::Mat CImgHelp::RotateWindow(const cv::Mat& src, const TurnPlan& plan, const cv::Rect& window)
{
    cv::Mat dst(window.size(), src.type());
    rotateInto(src, samplingFor(plan, window.tl()), dst);
    return dst;
}

namespace {

int scanLineCount(int extent, int step) { return (extent + step - 1) / step; }

ScanLines emptyScanLines(cv::Size size, int step)
{
    return ScanLines{size, step, cv::Mat(scanLineCount(size.height, step), size.width, CV_8UC1),
                     cv::Mat(scanLineCount(size.width, step), size.height, CV_8UC1)};
}

// The scan columns of a turned picture of `lines.size`, `fill(x, out)` giving its column x's
// colour pixels from top to bottom. A column is walked down the source, a stride the hardware
// follows (walking all columns along a row jumps between as many source rows as the turn spans,
// and is twice as slow).
template <class Fill>
void thresholdColumns(ScanLines& lines, int type, unsigned long level, Fill fill)
{
    cv::Mat column(lines.size.height, 1, type);
    for (int k = 0; k < lines.columns.rows; ++k) {
        fill(k * lines.step, column.data);
        CImgHelp::MakeThreshold(column, level).reshape(1, 1).copyTo(lines.columns.row(k));
    }
}

// Column xd of the whole turn, `height` colour pixels: the same positions and bounds as a row's
// walk, stepping down instead of across.
void turnedColumn(const cv::Mat& src, const Sampling& f, int xd, int height, uchar* out)
{
    const int64_t xLimit = static_cast<int64_t>(src.cols - 1) * kOne;
    const int64_t yLimit = static_cast<int64_t>(src.rows - 1) * kOne;
    const int cx = f.x0 + xd * f.cosF, cy = f.y0 - xd * f.sinF;  // at yd = 0
    int xa, xb, ya, yb;
    linearRange(cx, f.sinF, 0, xLimit, height, xa, xb);
    linearRange(cy, f.cosF, 0, yLimit, height, ya, yb);
    const int first = std::max(xa, ya), last = std::max(first, std::min(xb, yb));
    const size_t srcStep = src.step[0];
    std::memset(out, 0, static_cast<size_t>(first) * 3);
    int x = cx + first * f.sinF, y = cy + first * f.cosF;
    for (int yd = first; yd < last; ++yd, x += f.sinF, y += f.cosF)
        bilinearPixel(sourcePixel(src.data, srcStep, x, y), srcStep, x & kFracMask, y & kFracMask, out + 3 * yd);
    std::memset(out + 3 * last, 0, static_cast<size_t>(height - last) * 3);
}

}  // namespace

// Only the scan lines' pixels are worked out: rows through the whole turn's own row walk,
// columns pixel by pixel.
ScanLines CImgHelp::RotatedScanThreshold(const cv::Mat& src, const TurnPlan& plan, unsigned long level, int step)
{
    CV_Assert(src.type() == CV_8UC3 && step >= 1);
    ScanLines lines = emptyScanLines(plan.size, step);
    cv::Mat turned(1, plan.size.width, CV_8UC3);
    for (int k = 0; k < lines.rows.rows; ++k) {
        rotateRowsBgr(src, turned, samplingFor(plan, {0, k * step}), cv::Range(0, 1));
        MakeThreshold(turned, level).copyTo(lines.rows.row(k));
    }
    const Sampling f = samplingFor(plan, {0, 0});
    thresholdColumns(lines, CV_8UC3, level, [&](int x, uchar* out) { turnedColumn(src, f, x, plan.size.height, out); });
    return lines;
}
