#include "SkinFilter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace facetone {
namespace {

uint8_t clampByte(double v)
{
    return uint8_t(std::lround(std::clamp(v, 0.0, 255.0)));
}

// Box sums over a (2r+1)-square window, clipped at the borders, per colour
// channel; each output pixel moves towards its window's mean by how little the
// window varies compared with eps. Column sums slide down the picture, so the
// cost per pixel does not depend on the radius.
void smooth(const uint8_t *in, int w, int h, uint8_t *out, int outPitch, double strength)
{
    const int r = 2 + int(std::lround(4 * strength));
    const float sigma = float(70.0 * strength);
    const float eps = sigma * sigma;
    const size_t inPitch = size_t(w) * 4;

    std::vector<uint32_t> colSum(size_t(w) * 3, 0), colSq(size_t(w) * 3, 0);
    std::vector<uint64_t> preSum(size_t(w + 1) * 3, 0), preSq(size_t(w + 1) * 3, 0);

    // Unsigned wrap-around makes removing a row exact.
    auto addRow = [&](int y, bool add) {
        const uint8_t *row = in + size_t(y) * inPitch;
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                const uint32_t v = row[size_t(x) * 4 + size_t(c)];
                const size_t i = size_t(x) * 3 + size_t(c);
                if (add) {
                    colSum[i] += v;
                    colSq[i] += v * v;
                } else {
                    colSum[i] -= v;
                    colSq[i] -= v * v;
                }
            }
    };

    for (int y = 0; y <= std::min(r, h - 1); ++y)
        addRow(y, true);

    for (int y = 0; y < h; ++y) {
        if (y > 0) {
            if (y + r < h)
                addRow(y + r, true);
            if (y - r - 1 >= 0)
                addRow(y - r - 1, false);
        }
        const int rows = std::min(h - 1, y + r) - std::max(0, y - r) + 1;

        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                const size_t i = size_t(x) * 3 + size_t(c);
                preSum[i + 3] = preSum[i] + colSum[i];
                preSq[i + 3] = preSq[i] + colSq[i];
            }

        const uint8_t *src = in + size_t(y) * inPitch;
        uint8_t *dst = out + size_t(y) * size_t(outPitch);
        for (int x = 0; x < w; ++x) {
            const int x0 = std::max(0, x - r), x1 = std::min(w - 1, x + r);
            const float invN = 1.0f / float(rows * (x1 - x0 + 1));
            for (int c = 0; c < 3; ++c) {
                const size_t hi = size_t(x1 + 1) * 3 + size_t(c), lo = size_t(x0) * 3 + size_t(c);
                const float mean = float(preSum[hi] - preSum[lo]) * invN;
                const float var = std::max(0.0f, float(preSq[hi] - preSq[lo]) * invN - mean * mean);
                // A strength too small for float leaves eps 0: a flat window keeps its pixel.
                const float spread = var + eps;
                const float keep = spread > 0 ? var / spread : 1.0f;
                const float v = src[size_t(x) * 4 + size_t(c)];
                dst[size_t(x) * 4 + size_t(c)] = uint8_t(std::clamp(mean + keep * (v - mean), 0.0f, 255.0f) + 0.5f);
            }
            dst[size_t(x) * 4 + 3] = src[size_t(x) * 4 + 3];
        }
    }
}

// Per channel (blue, green, red): a logarithmic curve that lifts the middle
// tones and keeps black and white, then a warm shift strongest in the middle.
std::array<std::array<uint8_t, 256>, 3> toneCurves(double whitening, double warmth)
{
    std::array<std::array<uint8_t, 256>, 3> lut{};
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

} // namespace

void filterSkin(const uint8_t *in, int width, int height, uint8_t *out, int outPitch,
                const SkinLevels &levels)
{
    const size_t rowBytes = size_t(width) * 4;
    if (levels.smoothing > 0) {
        smooth(in, width, height, out, outPitch, std::min(levels.smoothing, 1.0));
    } else {
        for (int y = 0; y < height; ++y)
            std::memcpy(out + size_t(y) * size_t(outPitch), in + size_t(y) * rowBytes, rowBytes);
    }
    if (levels.whitening <= 0 && levels.warmth <= 0)
        return;
    const auto lut = toneCurves(std::min(levels.whitening, 1.0), std::min(std::max(levels.warmth, 0.0), 1.0));
    for (int y = 0; y < height; ++y) {
        uint8_t *p = out + size_t(y) * size_t(outPitch);
        for (int x = 0; x < width; ++x, p += 4) {
            p[0] = lut[0][p[0]];
            p[1] = lut[1][p[1]];
            p[2] = lut[2][p[2]];
        }
    }
}

} // namespace facetone
