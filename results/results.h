#pragma once
// The results of a ranking run as values: one combined score per ticker, the
// ranked tickers best first, each with its band; and Delete bottom 25%, which
// cuts the weakest quarter off them. Nothing here knows how they are shown.
#include <string>
#include <vector>

#include "domain/tickers.h"
#include "rank/rankrun.h"

namespace veltrop {

// A ranked ticker: its combined score and its band, 1 weakest to 17
// strongest.
struct RankedRow {
    std::string ticker;
    Whole score = 0;
    int band = 1;
    bool operator==(const RankedRow&) const = default;
};
using RankedRows = std::vector<RankedRow>;

// The tickers of `list` scored above 0, best first; equal scores keep their
// order in the list. With more than one source run each score is first the
// average over the sources run, and the bands span every ticker's average;
// with one, they span what the run recorded.
RankedRows rankScores(const TickerList& list, const RankTally& tally);

// Cuts the weakest quarter (one of five or fewer; none of one) off `rows`
// and bands what is left afresh over its own range.
RankedRows deleteBottomQuarter(const RankedRows& rows);

// The ticker list of `rows` best first, each with its score.
TickerList listFromRows(const RankedRows& rows);

// A score as the results and the list show it: "12", or "9.22337203685478e+18"
// for one too long for plain digits.
std::string scoreText(Whole score);

// The count line under the results: " 12 tickers ranked".
std::string rankedCaption(std::size_t rows);

} // namespace veltrop
