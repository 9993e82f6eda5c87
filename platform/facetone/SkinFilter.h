#pragma once

#include <cstdint>

namespace facetone {

// Strengths from 0 (off) to 1 (full).
struct SkinLevels
{
    double smoothing = 0;
    double whitening = 0;
    double warmth = 0;
};

// Edge-preserving smoothing (a self-guided box filter: flat and noisy areas
// are averaged, strong edges kept), then a brightening curve and a warm
// shift. Reads the 32-bit BGRA picture `in` (rows inPitch bytes apart) and
// writes rows of `out` outPitch bytes apart. `out` may be `in` itself with
// the same pitch (filtered in place, without a copy of the picture);
// otherwise the two must not overlap. Alpha passes unchanged. All levels 0
// reproduce the input exactly.
void filterSkin(const uint8_t *in, int inPitch, int width, int height, uint8_t *out, int outPitch,
                const SkinLevels &levels);

} // namespace facetone
