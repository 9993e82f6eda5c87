#include "WatermarkPlacement.h"

#include <QRandomGenerator>

namespace watermark {

Spot cornerForDraws(unsigned first, unsigned second)
{
    Spot spot;
    spot.x = float(first % 2 == 0 ? 0.01644736842105263 : 0.9375);
    spot.y = float(second % 2 == 0 ? 0.029239766081871343 : 0.9195906432748538);
    return spot;
}

std::optional<Spot> hopForTick(unsigned tick, unsigned seed)
{
    if (tick == 0 || tick % kHopTicks != 0)
        return std::nullopt;
    QRandomGenerator random(seed);
    const unsigned first = random.generate();
    const unsigned second = random.generate();
    return cornerForDraws(first, second);
}

} // namespace watermark
