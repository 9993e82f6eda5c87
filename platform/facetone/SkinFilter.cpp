#include "SkinFilter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <tuple>
#include <vector>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

// The pixel loop has selects (max, clamp) that GCC vectorises only once told
// that floating-point exceptions are not observed (Clang assumes so already);
// no result changes.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-trapping-math", "fp-contract=off")
#endif

// x86-64 builds target SSE2; AVX2 and AVX-512 copies of the smoothing,
// picked once at load time on processors that have them, double and
// quadruple the vector width. Their fused multiply-adds would round
// differently: products are not fused, so every copy gives the same
// picture. Sanitizer builds keep the single copy (their runtime is not up
// when load-time selection runs).
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define FACETONE_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FACETONE_SANITIZED 1
#endif
#if defined(__x86_64__) && defined(__ELF__) && !defined(FACETONE_SANITIZED) && defined(__clang__)
#define FACETONE_WIDE_VECTORS __attribute__((target_clones("avx512bw", "avx2", "default")))
#elif defined(__x86_64__) && defined(__ELF__) && !defined(FACETONE_SANITIZED)
// GCC names no AVX-512 subset that has 16-bit lanes among its clones.
#define FACETONE_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define FACETONE_WIDE_VECTORS
#endif

namespace facetone {
namespace {

#if defined(__clang__)
#pragma clang fp contract(off)
#endif

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

// Processors with byte permutes (AVX-512 VBMI) look all three curves up 64
// bytes at a time, from tables held in registers; others take the curves of
// blue and green as one table indexed by both bytes of a pixel at once (as
// they lie in memory), so a pixel takes two lookups, not three. Built once
// per thread for each new set of curves.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define FACETONE_BYTE_PERMUTES 1
#endif

bool bytePermutes()
{
#ifdef FACETONE_BYTE_PERMUTES
    static const bool has = __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw");
    return has;
#else
    return false;
#endif
}

struct CurveTables
{
    ToneCurves curves{};
    bool permutes = false;
    std::vector<uint16_t> blueGreen; // without byte permutes only
};

const CurveTables &curveTables(const ToneCurves &curves)
{
    thread_local CurveTables t;
    t.permutes = bytePermutes();
    if (t.curves == curves && (t.permutes || !t.blueGreen.empty()))
        return t;
    t.curves = curves;
    if (t.permutes)
        return t;
    t.blueGreen.resize(65536);
    for (uint32_t i = 0; i < 65536; ++i) {
        const uint16_t index = uint16_t(i);
        uint8_t bytes[2];
        std::memcpy(bytes, &index, 2);
        bytes[0] = curves[0][bytes[0]];
        bytes[1] = curves[1][bytes[1]];
        std::memcpy(&t.blueGreen[i], bytes, 2);
    }
    return t;
}

#ifdef FACETONE_BYTE_PERMUTES
// Each curve is four registers of 64 entries; a two-table permute looks up
// the lower or upper half by the index's low seven bits, merged only into
// the lanes of its channel and half, so every lane is looked up by its own
// value. Alpha lanes keep theirs.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void applyCurvesPermuted(const ToneCurves &curves,
                                                                                 uint8_t *p, int width)
{
    __m512i table[3][4];
    for (int c = 0; c < 3; ++c)
        for (int q = 0; q < 4; ++q)
            table[c][q] = _mm512_loadu_si512(curves[size_t(c)].data() + 64 * q);
    const __mmask64 channel[3] = {0x1111111111111111ull, 0x2222222222222222ull, 0x4444444444444444ull};
    const size_t bytes = size_t(width) * 4;
    for (size_t i = 0; i < bytes; i += 64) {
        const __mmask64 in = bytes - i >= 64 ? ~__mmask64(0) : (__mmask64(1) << (bytes - i)) - 1;
        __m512i v = _mm512_maskz_loadu_epi8(in, p + i);
        const __mmask64 upper = _mm512_movepi8_mask(v);
        for (int c = 0; c < 3; ++c) {
            v = _mm512_mask2_permutex2var_epi8(table[c][0], v, _kandn_mask64(upper, channel[c]), table[c][1]);
            v = _mm512_mask2_permutex2var_epi8(table[c][2], v, _kand_mask64(upper, channel[c]), table[c][3]);
        }
        _mm512_mask_storeu_epi8(p + i, in, v);
    }
}
#endif

// Alpha passes through.
inline void applyCurves(const CurveTables &t, uint8_t *__restrict p, int width)
{
#ifdef FACETONE_BYTE_PERMUTES
    if (t.permutes)
        return applyCurvesPermuted(t.curves, p, width);
#endif
    const uint16_t *__restrict blueGreen = t.blueGreen.data();
    const uint8_t *__restrict red = t.curves[2].data();
    for (int x = 0; x < width; ++x, p += 4) {
        uint16_t bg;
        std::memcpy(&bg, p, 2);
        bg = blueGreen[bg];
        std::memcpy(p, &bg, 2);
        p[2] = red[p[2]];
    }
}

// Rows left as they are but for the curves (no smoothing).
FACETONE_WIDE_VECTORS
void copyWithCurves(const uint8_t *in, int inPitch, int w, int h, uint8_t *out, int outPitch,
                    const CurveTables *curves)
{
    for (int y = 0; y < h; ++y) {
        const uint8_t *src = in + size_t(y) * size_t(inPitch);
        uint8_t *dst = out + size_t(y) * size_t(outPitch);
        if (dst != src)
            std::memcpy(dst, src, size_t(w) * 4);
        if (curves)
            applyCurves(*curves, dst, w);
    }
}

// By value, unlike std::max and std::clamp, so the pixel loop has no branches.
inline float atLeast(float v, float lo)
{
    return v < lo ? lo : v;
}

// Four pixels of 16-bit lanes (GCC and Clang vector extension): the spread
// of sample rows over the full width interleaves two results, which the
// vectoriser does not do on its own.
typedef uint16_t Lanes16 __attribute__((vector_size(32)));

// Lanes of a block of 2 x 2 pixels in the statistics: blue, green and red;
// alpha is neither smoothed nor toned, so it is not summed either.
constexpr size_t kBlockLanes = 3;

// Per-thread working rows: the filter runs on whichever thread filters the
// camera, and a frame must not allocate once the sizes are known. Rows of
// blocks hold kBlockLanes values a block; spread rows hold one value per
// byte of a pixel (blue, green, red, alpha).
struct Scratch
{
    std::vector<uint16_t> blockSum; // ring of block rows: sums over each block
    std::vector<uint32_t> blockSq;
    std::vector<uint16_t> colSum; // block rows of the window added, zero padding both sides
    std::vector<uint32_t> colSq;
    std::vector<float> invCount; // 1 / pixels in each block's clipped window
    std::vector<uint8_t> zeros;  // the row below a picture of odd height
    std::vector<uint16_t> sampleGain, sampleOffset; // one row of blocks, padded by one block each side
    std::vector<uint16_t> gain, offset;             // ring of two sample rows spread over the full width
};

Scratch &scratch()
{
    thread_local Scratch s;
    return s;
}

// Gains are in 1/256 and offsets in 1/32 of a level, so that a picture
// row's blend of two sample rows (in eighths) stays within 16 bits: an
// offset is (256 - gain) * mean / 8 rounded, half a step at most over
// (256 - gain) * 255 / 8, and the spreads and the blend round gains and
// offsets down, so gain * value + offset + 128 stays a few steps over
// 255 * 256 at most.
constexpr float kGainScale = 256.0f;
constexpr float kOffsetScale = 32.0f;

// One smoothing pass: its sizes and where its working rows are.
struct Smoothing
{
    const uint8_t *in;
    size_t inPitch;
    const uint8_t *zeros; // a row of them
    int w, h;
    int reach; // blocks on either side of the window's centre block
    float eps;
    size_t lanes, blockLanes, rowLanes; // rowLanes: a spread row, in whole steps
    size_t blockPitch;                  // block rows apart in the ring, with room for a step's spare lanes
    size_t spreadLanes;                 // block lanes spread, in whole steps
    int blocksX, blocksY;
    int samplesY; // sample rows: every other block row
    int blockRing;
    int summedRows = -1; // block rows added into the column sums so far
    int leftRows = 0;    // block rows taken out of them again, from the top
    int lastRows = -1;
    uint16_t *blockSum, *colSum; // window sums fit: at most 49 * 4 * 255
    uint32_t *blockSq, *colSq;
    float *invCount;
    uint16_t *sampleGain, *sampleOffset, *gain, *offset;
};

// Plain loops over rows of lanes, so the compiler vectorises them; unsigned
// wrap-around makes taking a row out exact.
template <class T>
inline void addLanes(T *__restrict sum, const T *__restrict entering, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        sum[i] = T(sum[i] + entering[i]);
}

template <class T>
inline void subtractLanes(T *__restrict sum, const T *__restrict leaving, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        sum[i] = T(sum[i] - leaving[i]);
}

template <class T>
inline void slideLanes(T *__restrict sum, const T *__restrict entering, const T *__restrict leaving, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        sum[i] = T(sum[i] + entering[i] - leaving[i]);
}

// Pixels of two rows summed over blocks of 2 x 2, values and squares of
// the colour lanes. Two blocks a step: the bytes are first put in pairs of
// the same block and channel, so that a multiply-add sums each pair's
// squares, and another (by ones) the pair itself. A step stores two spare
// lanes past its blocks, which the next step (or the row's spare room)
// takes.
typedef uint8_t Bytes16 __attribute__((vector_size(16)));

FACETONE_WIDE_VECTORS
void sumBlocks(const uint8_t *__restrict a, const uint8_t *__restrict b, int width, uint16_t *__restrict blockSum,
               uint32_t *__restrict blockSq)
{
#ifdef __SSE2__
    const int whole = width / 4 * 4; // pixels in whole steps
    const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi16(1);
    for (int x = 0; x < whole; x += 4) {
        Bytes16 ra, rb;
        std::memcpy(&ra, a + 4 * x, 16);
        std::memcpy(&rb, b + 4 * x, 16);
        // Blue, green and red of the first block's two pixels, then of the
        // second's; the alpha bytes last, spare.
        const __m128i pa = __m128i(__builtin_shufflevector(ra, ra, 0, 4, 1, 5, 2, 6, 8, 12, 9, 13, 10, 14, 3, 7, 11, 15));
        const __m128i pb = __m128i(__builtin_shufflevector(rb, rb, 0, 4, 1, 5, 2, 6, 8, 12, 9, 13, 10, 14, 3, 7, 11, 15));
        const __m128i aLo = _mm_unpacklo_epi8(pa, zero), aHi = _mm_unpackhi_epi8(pa, zero);
        const __m128i bLo = _mm_unpacklo_epi8(pb, zero), bHi = _mm_unpackhi_epi8(pb, zero);
        const __m128i squaresLo = _mm_add_epi32(_mm_madd_epi16(aLo, aLo), _mm_madd_epi16(bLo, bLo));
        const __m128i squaresHi = _mm_add_epi32(_mm_madd_epi16(aHi, aHi), _mm_madd_epi16(bHi, bHi));
        const __m128i sums = _mm_packs_epi32(_mm_madd_epi16(_mm_add_epi16(aLo, bLo), ones),
                                             _mm_madd_epi16(_mm_add_epi16(aHi, bHi), ones));
        const size_t at = size_t(x / 2) * kBlockLanes;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(blockSum + at), sums);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(blockSq + at), squaresLo);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(blockSq + at + 4), squaresHi);
    }
#else
    const int whole = 0;
#endif
    // The last pixels (all of them without SSE2); a block past the right
    // edge counts only its left one.
    for (int x = whole; x < width; x += 2)
        for (size_t c = 0; c < kBlockLanes; ++c) {
            uint32_t sum = 0, sq = 0;
            for (int dx = 0; dx < 2 && x + dx < width; ++dx) {
                const uint32_t u = a[4 * (x + dx) + int(c)], v = b[4 * (x + dx) + int(c)];
                sum += u + v;
                sq += u * u + v * v;
            }
            blockSum[size_t(x / 2) * kBlockLanes + c] = uint16_t(sum);
            blockSq[size_t(x / 2) * kBlockLanes + c] = sq;
        }
}

// Per lane of a block, the window's sums from the column sums of its
// 2 Reach + 1 block columns, then keep and (1 - keep) * mean as gain and
// offset: one pass, the window's sums never stored.
template <int Reach>
inline void windowGains(const uint16_t *__restrict colSum, const uint32_t *__restrict colSq,
                        const float *__restrict invCount, float eps, size_t n, uint16_t *__restrict gain,
                        uint16_t *__restrict offset)
{
    // Signed: the window reaches into the padding before the row.
    for (ptrdiff_t i = 0; i < ptrdiff_t(n); ++i) {
        uint16_t sum = colSum[i];
        uint32_t sq = colSq[i];
        for (ptrdiff_t d = kBlockLanes; d <= Reach * ptrdiff_t(kBlockLanes); d += kBlockLanes) {
            sum = uint16_t(sum + colSum[i - d] + colSum[i + d]);
            sq += colSq[i - d] + colSq[i + d];
        }
        // The sums fit in 31 bits; the signed conversion is one instruction.
        const float mean = float(sum) * invCount[i];
        const float var = atLeast(float(int32_t(sq)) * invCount[i] - mean * mean, 0.0f);
        const float keep = var / (var + eps);
        const int g = int(keep * kGainScale + 0.5f);
        // From the rounded gain, so that gain and offset stay a blend of the
        // value and the mean.
        gain[i] = uint16_t(g);
        offset[i] = uint16_t(int(float(256 - g) * mean * (kOffsetScale / kGainScale) + 0.5f));
    }
}

// Block row k: picture rows 2k and 2k + 1 (zeros below the picture) summed
// over 2 x 2 pixels, into its place in the ring.
FACETONE_WIDE_VECTORS
void takeBlockRow(Smoothing &m, int k)
{
    const uint8_t *a = m.in + size_t(2 * k) * m.inPitch;
    const bool second = 2 * k + 1 < m.h;
    const size_t slot = size_t(k % m.blockRing) * m.blockPitch;
    sumBlocks(a, second ? a + m.inPitch : m.zeros, m.w, m.blockSum + slot, m.blockSq + slot);
}

// Sample row s: the window of (2 reach + 1) x (2 reach + 1) blocks centred
// on each block of block row 2s, as a gain and an offset per lane, spread
// over the full width into its place in the ring of two: a picture row reads
// the sample rows either side of it, and rows are written in order.
FACETONE_WIDE_VECTORS
void takeSampleRow(Smoothing &m, int s)
{
    const int k = 2 * s;
    const int reach = m.reach, blocksX = m.blocksX, blocksY = m.blocksY;
    const size_t blockLanes = m.blockLanes;
    uint16_t *const colSum = m.colSum;
    uint32_t *const colSq = m.colSq;

    // The column sums slide down: each block row entering below takes out
    // the one leaving above (still in the ring); past the bottom, rows only
    // leave.
    auto ringRow = [&](const auto *ring, int row) { return ring + size_t(row % m.blockRing) * m.blockPitch; };
    for (; m.summedRows < std::min(k + reach, blocksY - 1); ++m.summedRows) {
        const int entering = m.summedRows + 1, leaving = entering - 2 * reach - 1;
        takeBlockRow(m, entering);
        if (leaving >= 0) {
            slideLanes(colSum, ringRow(m.blockSum, entering), ringRow(m.blockSum, leaving), blockLanes);
            slideLanes(colSq, ringRow(m.blockSq, entering), ringRow(m.blockSq, leaving), blockLanes);
            m.leftRows = leaving + 1;
        } else {
            addLanes(colSum, ringRow(m.blockSum, entering), blockLanes);
            addLanes(colSq, ringRow(m.blockSq, entering), blockLanes);
        }
    }
    for (; m.leftRows < k - reach; ++m.leftRows) {
        subtractLanes(colSum, ringRow(m.blockSum, m.leftRows), blockLanes);
        subtractLanes(colSq, ringRow(m.blockSq, m.leftRows), blockLanes);
    }

    // Pixels in each clipped window, as 1 / count per lane.
    const int rows = std::min(m.h, 2 * (k + reach + 1)) - std::max(0, 2 * (k - reach));
    if (rows != m.lastRows) {
        for (int i = 0; i < blocksX; ++i) {
            const int cols = std::min(m.w, 2 * (i + reach + 1)) - std::max(0, 2 * (i - reach));
            const float inv = 1.0f / float(rows * cols);
            for (size_t c = 0; c < kBlockLanes; ++c)
                m.invCount[size_t(i) * kBlockLanes + c] = inv;
        }
        m.lastRows = rows;
    }

    uint16_t *const sampleGain = m.sampleGain + kBlockLanes, *const sampleOffset = m.sampleOffset + kBlockLanes;
    // The reach is 1 to 3 blocks (a radius of 2 to 6 pixels).
    switch (reach) {
    case 1:
        windowGains<1>(colSum, colSq, m.invCount, m.eps, blockLanes, sampleGain, sampleOffset);
        break;
    case 2:
        windowGains<2>(colSum, colSq, m.invCount, m.eps, blockLanes, sampleGain, sampleOffset);
        break;
    default:
        windowGains<3>(colSum, colSq, m.invCount, m.eps, blockLanes, sampleGain, sampleOffset);
        break;
    }
    // The blocks beyond either side repeat the last ones.
    for (size_t c = 0; c < kBlockLanes; ++c) {
        m.sampleGain[c] = sampleGain[c];
        m.sampleOffset[c] = sampleOffset[c];
        sampleGain[blockLanes + c] = sampleGain[blockLanes - kBlockLanes + c];
        sampleOffset[blockLanes + c] = sampleOffset[blockLanes - kBlockLanes + c];
    }

    // Spread along the row: a block's centre lies between its two columns,
    // so the left one takes 3/4 of its block and 1/4 of the block to the
    // left, the right one likewise towards the right. Four blocks a step,
    // into eight pixels whose alpha lanes keep their value (gain 1, offset 0).
    const size_t slot = size_t(s % 2) * m.rowLanes;
    const Lanes16 colours = {0xffff, 0xffff, 0xffff, 0, 0xffff, 0xffff, 0xffff, 0, 0xffff, 0xffff, 0xffff, 0,
                             0xffff, 0xffff, 0xffff, 0};
    const Lanes16 unitGain = ~colours & uint16_t(kGainScale);
    for (const auto &[from, to, alpha] :
         {std::tuple<const uint16_t *, uint16_t *, Lanes16>{sampleGain, m.gain + slot, unitGain},
          std::tuple<const uint16_t *, uint16_t *, Lanes16>{sampleOffset, m.offset + slot, Lanes16{}}}) {
        for (size_t i = 0, o = 0; i < m.spreadLanes; i += 4 * kBlockLanes, o += 32) {
            // Copied in and out in place: a 32-byte vector crosses no call.
            Lanes16 centre, left, right;
            std::memcpy(&centre, from + i, sizeof centre);
            std::memcpy(&left, from + i - kBlockLanes, sizeof left);
            std::memcpy(&right, from + i + kBlockLanes, sizeof right);
            const Lanes16 l = (centre * 3 + left) >> 2, r = (centre * 3 + right) >> 2;
            const Lanes16 first =
                __builtin_shufflevector(l, r, 0, 1, 2, 0, 16, 17, 18, 0, 3, 4, 5, 0, 19, 20, 21, 0);
            const Lanes16 second =
                __builtin_shufflevector(l, r, 6, 7, 8, 0, 22, 23, 24, 0, 9, 10, 11, 0, 25, 26, 27, 0);
            const Lanes16 firstPixels = (first & colours) | alpha, secondPixels = (second & colours) | alpha;
            std::memcpy(to + o, &firstPixels, sizeof firstPixels);
            std::memcpy(to + o + 16, &secondPixels, sizeof secondPixels);
        }
    }
}

// Final pixels of one row: each lane is (gain * value + offset) / 256, the
// gain and offset `own`/8 of the row's own sample row and the rest of the
// other one. In place the row is read through dst.
template <bool InPlace>
inline void blendRow(const uint8_t *src, uint8_t *__restrict dst, size_t lanes, uint16_t own,
                     const uint16_t *__restrict gn, const uint16_t *__restrict gf, const uint16_t *__restrict on,
                     const uint16_t *__restrict of)
{
    const uint16_t other = uint16_t(8 - own);
    for (size_t i = 0; i < lanes; ++i) {
        const uint16_t v = InPlace ? dst[i] : src[i];
        // Truncated to 16 bits before the shift, so the loop stays in 16 bits.
        const uint16_t gain8 = uint16_t(own * gn[i] + other * gf[i]);
        const uint16_t gain = uint16_t(gain8 >> 3);
        const uint16_t offset = uint16_t(own * on[i] + other * of[i]);
        dst[i] = uint8_t(uint16_t(gain * v + offset + 128) >> 8);
    }
}

// Picture row y, its sample rows taken as needed.
FACETONE_WIDE_VECTORS
void writeRow(Smoothing &m, int &sampled, int y, uint8_t *out, size_t outPitch, const CurveTables *curves)
{
    // Picture row y's own sample row s is centred half a row below picture
    // row 4s, so rows 4s and 4s + 1 lie half a row from it, 4s + 2 and
    // 4s + 3 one and a half and two and a half; the sample row on the other
    // side is four away. s weighs in eighths by the distance to the other.
    const int s = y / 4, r = y % 4;
    const int far = r == 0 ? std::max(s - 1, 0) : std::min(s + 1, m.samplesY - 1);
    static constexpr uint16_t kOwnEighths[4] = {7, 7, 5, 3};
    while (sampled < std::max(s, far))
        takeSampleRow(m, ++sampled);
    const size_t near = size_t(s % 2) * m.rowLanes, other = size_t(far % 2) * m.rowLanes;
    uint8_t *dst = out + size_t(y) * outPitch;
    if (dst == m.in + size_t(y) * m.inPitch)
        blendRow<true>(dst, dst, m.lanes, kOwnEighths[r], m.gain + near, m.gain + other, m.offset + near,
                       m.offset + other);
    else
        blendRow<false>(m.in + size_t(y) * m.inPitch, dst, m.lanes, kOwnEighths[r], m.gain + near, m.gain + other,
                        m.offset + near, m.offset + other);
    // While the row is still in the cache.
    if (curves)
        applyCurves(*curves, dst, m.w);
}

// Edge-preserving smoothing: each pixel moves towards the mean of the
// window around it by how little that window varies compared with eps,
// out = keep * v + (1 - keep) * mean with keep = var / (var + eps), per
// colour channel. keep and (1 - keep) * mean change slowly across the
// picture, so they are worked out on blocks of 2 x 2 pixels (a window of
// (2 reach + 1)^2 blocks, 2r + 1 pixels wide or one more or less), for
// every block across and every other block row down, and spread back over
// the pixels linearly. Column sums slide down the block rows, so the cost
// does not depend on the radius. Block rows are summed ahead of the rows
// written, so the picture may be filtered in place.
void smooth(const uint8_t *in, int inPitch, int w, int h, uint8_t *out, int outPitch, double strength,
            const CurveTables *curves)
{
    const int r = 2 + int(std::lround(4 * strength));
    const float sigma = float(70.0 * strength);
    const float eps = sigma * sigma;

    // A strength too small for float leaves eps 0: every window keeps its
    // pixels, so the picture passes unchanged.
    if (!(eps > 0)) {
        copyWithCurves(in, inPitch, w, h, out, outPitch, curves);
        return;
    }

    Smoothing m;
    m.in = in;
    m.inPitch = size_t(inPitch);
    m.w = w;
    m.h = h;
    m.reach = r / 2;
    m.eps = eps;
    m.blocksX = (w + 1) / 2;
    m.blocksY = (h + 1) / 2;
    m.samplesY = (m.blocksY + 1) / 2;
    m.lanes = size_t(w) * 4;
    m.blockLanes = size_t(m.blocksX) * kBlockLanes;
    m.blockPitch = m.blockLanes + 8;
    m.blockRing = 2 * m.reach + 2;
    // Whole steps of four blocks for the spread, and an even width.
    const size_t spreadBlocks = size_t(m.blocksX + 3) / 4 * 4;
    m.spreadLanes = spreadBlocks * kBlockLanes;
    m.rowLanes = spreadBlocks * 8;
    const size_t colPad = size_t(m.reach) * kBlockLanes;

    Scratch &s = scratch();
    s.blockSum.resize(size_t(m.blockRing) * m.blockPitch);
    s.blockSq.resize(size_t(m.blockRing) * m.blockPitch);
    s.colSum.assign(m.blockLanes + 2 * colPad, 0);
    s.colSq.assign(m.blockLanes + 2 * colPad, 0);
    s.invCount.resize(m.blockLanes);
    s.zeros.assign(m.lanes, 0);
    // One block before the row, and past it the last step's reach.
    s.sampleGain.assign(m.spreadLanes + 4 * kBlockLanes + 16, 0);
    s.sampleOffset.assign(m.spreadLanes + 4 * kBlockLanes + 16, 0);
    s.gain.resize(2 * m.rowLanes);
    s.offset.resize(2 * m.rowLanes);
    m.blockSum = s.blockSum.data();
    m.blockSq = s.blockSq.data();
    m.colSum = s.colSum.data() + colPad;
    m.colSq = s.colSq.data() + colPad;
    m.invCount = s.invCount.data();
    m.zeros = s.zeros.data();
    m.sampleGain = s.sampleGain.data();
    m.sampleOffset = s.sampleOffset.data();
    m.gain = s.gain.data();
    m.offset = s.offset.data();

    int sampled = -1;
    for (int y = 0; y < h; ++y)
        writeRow(m, sampled, y, out, size_t(outPitch), curves);
}

} // namespace

void filterSkin(const uint8_t *in, int inPitch, int width, int height, uint8_t *out, int outPitch,
                const SkinLevels &levels)
{
    const bool toned = levels.whitening > 0 || levels.warmth > 0;
    ToneCurves lut{};
    if (toned)
        lut = toneCurves(std::min(levels.whitening, 1.0), std::min(std::max(levels.warmth, 0.0), 1.0));
    const CurveTables *curves = toned ? &curveTables(lut) : nullptr;
    if (levels.smoothing > 0)
        smooth(in, inPitch, width, height, out, outPitch, std::min(levels.smoothing, 1.0), curves);
    else
        copyWithCurves(in, inPitch, width, height, out, outPitch, curves);
}

} // namespace facetone
