#pragma once

#include <optional>

// Where the watermark sits, as fractions of the canvas (the engine's
// relative rectangle). Drawn for a 1216 x 684 canvas: 56 x 35 pixels with a
// margin of 20 pixels; as fractions the spots fit every canvas size.
namespace watermark {

struct Spot
{
    float x = 0;
    float y = 0;
};

// Size and first place, top left (56/1216, 35/684, 20/1216, 20/684).
constexpr float kRelativeWidth = 0.046052631f;
constexpr float kRelativeHeight = 0.051169589f;
constexpr float kStartX = 0.016447369f;
constexpr float kStartY = 0.029239766f;

// The watermark moves on every 60th timer tick.
constexpr unsigned kHopTicks = 60;

// The corner picked by two draws of a random generator: the first draw even
// means left (20/1216), odd right (1140/1216); the second even means top
// (20/684), odd bottom (629/684). Each corner keeps the same margin.
Spot cornerForDraws(unsigned first, unsigned second);

// Nothing unless `tick` (the count of timer calls, first call 1) is a
// multiple of 60; otherwise the corner drawn from a generator seeded with
// `seed`. The facade passes the seconds since local midnight, so two hops in
// the same second land on the same corner; the size is left as it is.
std::optional<Spot> hopForTick(unsigned tick, unsigned seed);

} // namespace watermark
