#include "results/results.h"

#include <algorithm>
#include <cstdlib>

#include "results/rankbands.h"
#include "web/text.h"

namespace veltrop {

void prepareResultsGrid(FlexGrid& grid)
{
    grid.setFormatString("^Ticker|^Rank");
    grid.setFillStyle(FlexGrid::FillStyle::Repeat);
    grid.setColWidth(0, 1000);
    grid.setColWidth(1, 3350);
    grid.setColWidth(2, 0);
}

void clearResultsGrid(FlexGrid& grid)
{
    while (grid.rows() > 2) {
        if (!grid.removeItem(grid.rows() - 1))
            break;
    }
    grid.setTextMatrix(1, 0, "");
    grid.setCol(1);
    grid.setRow(1);
    grid.setCellPicture("");
}

std::vector<RankedRow> rankedRows(const FlexGrid& grid)
{
    std::vector<RankedRow> rows;
    for (int r = 1; r <= grid.rows() - 2; ++r) {
        // The picture is ".../vpN.bmp".
        const std::string picture = grid.picture(r, 1);
        const std::size_t at = picture.rfind("/vp");
        const int band = at == std::string::npos ? 0 : std::atoi(picture.c_str() + at + 3);
        rows.push_back({grid.textMatrix(r, 0), grid.textMatrix(r, 2), band});
    }
    return rows;
}

std::string rankedCaption(const FlexGrid& grid) { return countCaption(grid.rows() - 2, " tickers ranked"); }

Count showRanks(TickerTable& table, Count& count, const RankTally& tally, FlexGrid& grid,
                  const std::string& pictureFolder)
{
    Whole lowest = tally.lowest, highest = tally.highest;
    // A source that gave a ticker nothing still counts in its average: the
    // divisor is the number of sources run, not the number that answered.
    if (tally.sourcesRun > 1) {
        lowest = 10000;
        highest = -10000;
        for (int i = 1; i <= count; ++i) {
            const Whole value = floorWhole(cellNumber(table[i][1]) / double(tally.sourcesRun));
            table[i][1] = double(value);
            highest = std::max(highest, value);
            lowest = std::min(lowest, value);
        }
    }

    // Each listed ticker appends a row and fills the one above it, so the
    // grid always ends in one empty row.
    Count ranked = 0;
    for (int i = 1; i <= count; ++i) {
        if (isEmpty(table[i][1]) || !(cellNumber(table[i][1]) > 0))
            continue;
        ++ranked;
        addRankedRow(grid, ranked, table[i][0], table[i][1]);
    }

    // Columns 1 and 2 are the keys; column 1 holds no text, so the values
    // decide, and the empty last row stays last.
    grid.setColSel(2);
    grid.sortGenericDescending();

    count = tableFromGrid(grid, table);

    const RankBands bands = rankBands(lowest, highest);
    for (int i = 1; i <= count; ++i) {
        const int band = rankBand(bands, cellNumber(table[i][1]));
        grid.setCol(1);
        grid.setRow(i);
        // The grid shows the file when it can read it; a missing picture
        // leaves the cell blank.
        grid.setCellPicture(rankPicturePath(pictureFolder, band));
    }
    grid.setRow(1);
    grid.setCol(1);
    return ranked;
}

void deleteBottomQuarter(TickerTable& table, Count& count, FlexGrid& grid, const std::string& pictureFolder)
{
    // The grid's data rows are what the user sees and what is cut; the
    // enabling rules keep the count equal to their number, and should the
    // two ever differ the grid wins, so the cut never reaches the header or
    // the empty last row.
    count = Count(std::clamp(grid.rows() - 2, 0, maxTickers));
    const int n = count;
    if (n >= 2) {
        const int cut = n <= 5 ? 1 : n / 4;
        // Position alone decides: of two equal values at the cut, the lower
        // one in the grid goes.
        for (int k = 0; k < cut; ++k) {
            grid.removeItem(count);
            --count;
        }
    }

    count = tableFromGrid(grid, table);
    clearResultsGrid(grid);

    // The bands now run from the weakest remaining ticker to the strongest.
    Whole lowest = 10000, highest = -10000;
    for (int i = 1; i <= count; ++i) {
        const Whole score = roundHalfEven(cellNumber(table[i][1]));
        lowest = std::min(lowest, score);
        highest = std::max(highest, score);
    }
    const RankBands bands = rankBands(lowest, highest);

    int listed = 0;
    for (int i = 1; i <= count; ++i) {
        const double value = cellNumber(table[i][1]);
        const int band = rankBand(bands, value);
        if (!(value > 0))
            continue;
        ++listed;
        addRankedRow(grid, listed, table[i][0], table[i][1]);
        grid.setCellPicture(rankPicturePath(pictureFolder, band));
    }
}

} // namespace veltrop
