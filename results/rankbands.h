#pragma once
// The 17 rank bands between the lowest and the highest combined value. Both
// the display of ranks and Delete bottom 25% work the bands out the same way.
#include <array>

#include "domain/tickers.h"

namespace veltrop {

inline constexpr int rankBandCount = 17;

struct RankBands {
    Whole lowest = 0;
    Whole highest = 0;
    float width = 0;  // (highest - lowest) / 17, single precision
    // thresholds[k - 1] is the upper edge of band k, rounded to single
    // precision as the original thresholds were.
    std::array<float, rankBandCount> thresholds{};
};

// Bands over [lowest, highest]. The range is taken wide, so a spread that
// outgrows 16 bits still gives ordered bands.
RankBands rankBands(Whole lowest, Whole highest);

// The band (1 to 17) of value v: the first band whose upper edge v does not
// pass. Single-precision rounding can leave the top edge a hair below
// `highest` (lowest -10 and highest 27 give 26.999998); the strongest values
// still get band 17 rather than falling through to band 1. Values outside the
// bands get band 1.
int rankBand(const RankBands& bands, double v);

} // namespace veltrop
