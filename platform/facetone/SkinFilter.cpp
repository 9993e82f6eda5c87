#include "SkinFilter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

// The pixel loop has selects (max, clamp) that GCC vectorises only once told
// that floating-point exceptions are not observed (Clang assumes so already);
// no result changes.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-trapping-math")
#endif

// x86-64 builds target SSE2; an AVX2 copy of the smoothing, picked once at
// load time on processors that have it, doubles the vector width. Sanitizer
// builds keep the single copy (their runtime is not up when load-time
// selection runs).
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define FACETONE_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FACETONE_SANITIZED 1
#endif
#if defined(__x86_64__) && defined(__ELF__) && !defined(FACETONE_SANITIZED)
#define FACETONE_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define FACETONE_WIDE_VECTORS
#endif

namespace facetone {
namespace {

uint8_t clampByte(double v)
{
    return uint8_t(std::lround(std::clamp(v, 0.0, 255.0)));
}

using ToneCurves = std::array<std::array<uint8_t, 256>, 3>;

// Per channel (blue, green, red): a logarithmic curve that lifts the middle
// tones and keeps black and white, then a warm shift strongest in the middle.
ToneCurves toneCurves(double whitening, double warmth)
{
    ToneCurves lut{};
    // log1p keeps the curve finite for the smallest levels, where 1 + k rounds to 1.
    const double k = 4.0 * whitening;
    const double scale = std::log1p(k);
    for (int x = 0; x < 256; ++x) {
        const double t = x / 255.0;
        const double lifted = scale > 0 ? 255.0 * std::log1p(k * t) / scale : x;
        const double shift = warmth * 20.0 * 4.0 * t * (1.0 - t);
        lut[0][size_t(x)] = clampByte(lifted - shift);
        lut[1][size_t(x)] = clampByte(lifted);
        lut[2][size_t(x)] = clampByte(lifted + shift);
    }
    return lut;
}

// One load and one store per pixel; alpha passes through.
void applyCurves(const ToneCurves &lut, uint8_t *p, int width)
{
    for (int x = 0; x < width; ++x, p += 4) {
        uint32_t px;
        std::memcpy(&px, p, 4);
        px = uint32_t(lut[0][px & 0xff]) | uint32_t(lut[1][(px >> 8) & 0xff]) << 8
             | uint32_t(lut[2][(px >> 16) & 0xff]) << 16 | (px & 0xff000000u);
        std::memcpy(p, &px, 4);
    }
}

// By value, unlike std::max and std::clamp, so the pixel loop has no branches.
inline float atLeast(float v, float lo)
{
    return v < lo ? lo : v;
}

inline float atMost(float v, float hi)
{
    return v > hi ? hi : v;
}

// Per-thread working rows: the filter runs on whichever thread filters the
// camera, and a frame must not allocate once the sizes are known. Every array
// holds one value per lane (blue, green, red, alpha) of a row.
struct Scratch
{
    std::vector<uint32_t> colSum; // column sums, with zero padding on both sides
    std::vector<uint32_t> colSq;
    std::vector<uint32_t> boxSum; // window sums of the current row
    std::vector<uint32_t> boxSq;
    std::vector<float> invCount;  // 1 / pixels in the lane's clipped window
    std::vector<float> keepFloor; // 1 on alpha lanes: alpha keeps its value
};

Scratch &scratch()
{
    thread_local Scratch s;
    return s;
}

// Plain loops over whole rows of lanes, so the compiler vectorises them.
// Alpha is summed too (its results are discarded); unsigned wrap-around
// makes removing a row exact.
void addRow(const uint8_t *row, size_t lanes, uint32_t *sum, uint32_t *sq)
{
    for (size_t i = 0; i < lanes; ++i) {
        const uint32_t v = row[i];
        sum[i] += v;
        sq[i] += v * v;
    }
}

void removeRow(const uint8_t *row, size_t lanes, uint32_t *sum, uint32_t *sq)
{
    for (size_t i = 0; i < lanes; ++i) {
        const uint32_t v = row[i];
        sum[i] -= v;
        sq[i] -= v * v;
    }
}

// Both at once, the common case inside the picture: one pass over the sums.
void replaceRow(const uint8_t *entering, const uint8_t *leaving, size_t lanes, uint32_t *sum, uint32_t *sq)
{
    for (size_t i = 0; i < lanes; ++i) {
        const uint32_t v = entering[i], u = leaving[i];
        sum[i] += v - u;
        sq[i] += v * v - u * u;
    }
}

// The four lanes of one pixel as one 128-bit value (GCC and Clang vector
// extension), for the running sums below, whose every step needs the step
// before: the compiler does not vectorise that on its own.
typedef uint32_t PixelLanes __attribute__((vector_size(16)));

inline PixelLanes loadLanes(const uint32_t *p)
{
    PixelLanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void storeLanes(uint32_t *p, PixelLanes v)
{
    std::memcpy(p, &v, sizeof v);
}

// box[x] = sum of col[x - r .. x + r], lane by lane, as running sums; the
// sums and squares run side by side to hide each other's latency. The columns
// have r + 1 zero pixels before and r after.
void boxAlongRow(const uint32_t *colSum, const uint32_t *colSq, int w, int r, uint32_t *boxSum,
                 uint32_t *boxSq)
{
    const size_t span = size_t(2 * r + 1) * 4;
    PixelLanes s = {0, 0, 0, 0}, q = {0, 0, 0, 0};
    for (size_t k = 4; k < span; k += 4) { // the window of pixel -1
        s += loadLanes(colSum + k);
        q += loadLanes(colSq + k);
    }
    for (size_t o = 0; o < size_t(w) * 4; o += 4) {
        s += loadLanes(colSum + o + span) - loadLanes(colSum + o);
        q += loadLanes(colSq + o + span) - loadLanes(colSq + o);
        storeLanes(boxSum + o, s);
        storeLanes(boxSq + o, q);
    }
}

// Box sums over a (2r+1)-square window, clipped at the borders, per colour
// channel; each output pixel moves towards its window's mean by how little the
// window varies compared with eps. Column sums slide down the picture and
// running sums along each row, so the cost per pixel does not depend on the
// radius.
FACETONE_WIDE_VECTORS
void smooth(const uint8_t *in, int w, int h, uint8_t *out, int outPitch, double strength,
            const ToneCurves *curves)
{
    const int r = 2 + int(std::lround(4 * strength));
    const float sigma = float(70.0 * strength);
    const float eps = sigma * sigma;
    const size_t inPitch = size_t(w) * 4;
    const size_t lanes = inPitch;

    // A strength too small for float leaves eps 0: every window keeps its
    // pixels, so the picture passes unchanged.
    if (!(eps > 0)) {
        for (int y = 0; y < h; ++y) {
            std::memcpy(out + size_t(y) * size_t(outPitch), in + size_t(y) * inPitch, inPitch);
            if (curves)
                applyCurves(*curves, out + size_t(y) * size_t(outPitch), w);
        }
        return;
    }

    const size_t pad = (size_t(r) + 1) * 4;
    Scratch &s = scratch();
    s.colSum.assign(lanes + 2 * pad, 0);
    s.colSq.assign(lanes + 2 * pad, 0);
    s.boxSum.resize(lanes);
    s.boxSq.resize(lanes);
    s.invCount.resize(lanes);
    s.keepFloor.resize(lanes);
    uint32_t *const colSum = s.colSum.data() + pad;
    uint32_t *const colSq = s.colSq.data() + pad;
    uint32_t *const boxSum = s.boxSum.data();
    uint32_t *const boxSq = s.boxSq.data();
    float *const invCount = s.invCount.data();
    float *const keepFloor = s.keepFloor.data();
    for (size_t i = 0; i < lanes; ++i)
        keepFloor[i] = (i & 3) == 3 ? 1.0f : 0.0f;

    for (int y = 0; y <= std::min(r, h - 1); ++y)
        addRow(in + size_t(y) * inPitch, lanes, colSum, colSq);

    int lastRows = -1;
    for (int y = 0; y < h; ++y) {
        if (y > 0) {
            const bool entering = y + r < h, leaving = y - r - 1 >= 0;
            if (entering && leaving)
                replaceRow(in + size_t(y + r) * inPitch, in + size_t(y - r - 1) * inPitch, lanes, colSum, colSq);
            else if (entering)
                addRow(in + size_t(y + r) * inPitch, lanes, colSum, colSq);
            else if (leaving)
                removeRow(in + size_t(y - r - 1) * inPitch, lanes, colSum, colSq);
        }
        const int rows = std::min(h - 1, y + r) - std::max(0, y - r) + 1;
        if (rows != lastRows) {
            for (int x = 0; x < w; ++x) {
                const int cols = std::min(w - 1, x + r) - std::max(0, x - r) + 1;
                const float inv = 1.0f / float(rows * cols);
                for (size_t c = 0; c < 4; ++c)
                    invCount[size_t(x) * 4 + c] = inv;
            }
            lastRows = rows;
        }
        boxAlongRow(colSum - pad, colSq - pad, w, r, boxSum, boxSq);

        const uint8_t *src = in + size_t(y) * inPitch;
        uint8_t *dst = out + size_t(y) * size_t(outPitch);
        for (size_t i = 0; i < lanes; ++i) {
            // The sums fit in 31 bits; the signed conversion is one instruction.
            const float mean = float(int32_t(boxSum[i])) * invCount[i];
            const float var = atLeast(float(int32_t(boxSq[i])) * invCount[i] - mean * mean, 0.0f);
            const float keep = atLeast(var / (var + eps), keepFloor[i]);
            const float v = src[i];
            dst[i] = uint8_t(atMost(atLeast(mean + keep * (v - mean), 0.0f), 255.0f) + 0.5f);
        }
        // While the row is still in the cache.
        if (curves)
            applyCurves(*curves, dst, w);
    }
}

} // namespace

void filterSkin(const uint8_t *in, int width, int height, uint8_t *out, int outPitch,
                const SkinLevels &levels)
{
    const bool toned = levels.whitening > 0 || levels.warmth > 0;
    ToneCurves lut{};
    if (toned)
        lut = toneCurves(std::min(levels.whitening, 1.0), std::min(std::max(levels.warmth, 0.0), 1.0));
    const ToneCurves *curves = toned ? &lut : nullptr;
    if (levels.smoothing > 0) {
        smooth(in, width, height, out, outPitch, std::min(levels.smoothing, 1.0), curves);
        return;
    }
    const size_t rowBytes = size_t(width) * 4;
    for (int y = 0; y < height; ++y) {
        uint8_t *row = out + size_t(y) * size_t(outPitch);
        std::memcpy(row, in + size_t(y) * rowBytes, rowBytes);
        if (curves)
            applyCurves(*curves, row, width);
    }
}

} // namespace facetone
