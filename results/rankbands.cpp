#include "results/rankbands.h"

#include <algorithm>

#include "web/text.h"

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

std::string rankPicturePath(const std::string& folder, int band)
{
    return folder + "/vp" + std::to_string(band) + ".bmp";
}

void addRankedRow(FlexGrid& grid, int r, const CellValue& ticker, const CellValue& value)
{
    grid.addItem("");
    grid.setCol(0);
    grid.setTextMatrix(r, 0, cellText(ticker));
    grid.setTextMatrix(r, 2, cellText(value));
    grid.setCol(1);
    grid.setRow(r);
}

Count tableFromGrid(FlexGrid& grid, TickerTable& table)
{
    for (auto& row : table)
        row = {};
    const Count count = Count(std::clamp(grid.rows() - 2, 0, maxTickers));
    for (int i = 1; i <= count; ++i) {
        grid.setRow(i);
        grid.setCol(0);
        table[i][0] = grid.text();
        grid.setCol(2);
        table[i][1] = grid.text();
    }
    return count;
}

} // namespace veltrop
