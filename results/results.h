#pragma once
// The results of a ranking run in the grid: one combined value per ticker,
// the ranked tickers best first, each with the picture of its band; and
// Delete bottom 25%, which cuts the weakest quarter off them.
#include <string>
#include <vector>

#include "domain/tickers.h"
#include "rank/rankrun.h"
#include "results/flexgrid.h"

namespace veltrop {

// Sets up the empty results grid: its headings and column widths.
void prepareResultsGrid(FlexGrid& grid);

// Empties the results grid to its heading and one empty row.
void clearResultsGrid(FlexGrid& grid);

// Lists the ranked tickers of `table` in `grid` best first and rewrites the
// table from the grid. With more than one source run each score is first
// the average over the sources run. The band pictures are read from
// `pictureFolder`. Returns how many tickers were ranked.
Count showRanks(TickerTable& table, Count& count, const RankTally& tally, FlexGrid& grid,
                  const std::string& pictureFolder);

// Cuts the weakest quarter (one of five or fewer; none of one) off the
// grid's rows and lists what is left again with bands over its own range.
void deleteBottomQuarter(TickerTable& table, Count& count, FlexGrid& grid, const std::string& pictureFolder);

// A listed row of the grid as it holds it: the ticker, the value beside it
// and the band of its picture, 1 weakest to 17 strongest.
struct RankedRow {
    std::string ticker;
    std::string score;
    int band = 0;
};
std::vector<RankedRow> rankedRows(const FlexGrid& grid);

// The count line under the grid: " 12 tickers ranked".
std::string rankedCaption(const FlexGrid& grid);

} // namespace veltrop
