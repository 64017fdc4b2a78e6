#include "results/results.h"

#include <algorithm>

#include "results/rankbands.h"
#include "web/text.h"

namespace veltrop {
namespace {

// Bands each row over [lowest, highest]; a score above the top edge still
// falls to band 1, as rankBand says.
void bandRows(RankedRows& rows, Whole lowest, Whole highest)
{
    const RankBands bands = rankBands(lowest, highest);
    for (RankedRow& row : rows)
        row.band = rankBand(bands, double(row.score));
}

} // namespace

RankedRows rankScores(const TickerList& list, const RankTally& tally)
{
    Whole lowest = tally.lowest, highest = tally.highest;
    const bool averaged = tally.sourcesRun > 1;
    if (averaged) {
        lowest = 10000;
        highest = -10000;
    }
    RankedRows scored;
    for (const ListedTicker& listed : list) {
        // A source that gave a ticker nothing still counts in its average:
        // the divisor is the number of sources run, not the number that
        // answered.
        const double sum = cellNumber(listed.score);
        const Whole score = floorWhole(averaged ? sum / double(tally.sourcesRun) : sum);
        if (averaged) {
            highest = std::max(highest, score);
            lowest = std::min(lowest, score);
        }
        scored.push_back({listed.ticker, score, 1});
    }

    RankedRows ranked;
    for (RankedRow& row : scored)
        if (row.score > 0)
            ranked.push_back(std::move(row));
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const RankedRow& a, const RankedRow& b) { return a.score > b.score; });
    bandRows(ranked, lowest, highest);
    return ranked;
}

RankedRows deleteBottomQuarter(const RankedRows& rows)
{
    const std::size_t n = rows.size();
    const std::size_t cut = n < 2 ? 0 : n <= 5 ? 1 : n / 4;
    // Position alone decides: of two equal scores at the cut, the lower row
    // goes.
    RankedRows kept(rows.begin(), rows.end() - std::ptrdiff_t(cut));

    Whole lowest = 10000, highest = -10000;
    for (const RankedRow& row : kept) {
        lowest = std::min(lowest, row.score);
        highest = std::max(highest, row.score);
    }
    bandRows(kept, lowest, highest);
    std::erase_if(kept, [](const RankedRow& row) { return row.score <= 0; });
    return kept;
}

TickerList listFromRows(const RankedRows& rows)
{
    TickerList list;
    for (const RankedRow& row : rows)
        if (list.add(row.ticker))
            list[list.size() - 1].score = scoreText(row.score);
    return list;
}

std::string scoreText(Whole score) { return cellText(double(score)); }

std::string rankedCaption(std::size_t rows) { return countCaption(Whole(rows), " tickers ranked"); }

} // namespace veltrop
