#include "results/rankbands.h"

namespace veltrop {

RankBands rankBands(Whole lowest, Whole highest)
{
    RankBands bands;
    bands.lowest = lowest;
    bands.highest = highest;
    const double range = double(highest) - double(lowest);
    bands.width = static_cast<float>(range / rankBandCount);
    const double w = bands.width;
    for (int k = 1; k <= rankBandCount; ++k) {
        // The first two edges were written as w + low and (w + w) + low;
        // doubling is exact, so w * k gives the same values for every k.
        bands.thresholds[k - 1] = static_cast<float>(w * k + double(lowest));
    }
    return bands;
}

int rankBand(const RankBands& bands, double v)
{
    if (double(bands.lowest) <= v) {
        for (int k = 1; k <= rankBandCount; ++k)
            if (v <= double(bands.thresholds[k - 1]))
                return k;
        if (v <= double(bands.highest))
            return rankBandCount;
    }
    return 1;
}

} // namespace veltrop
