#pragma once
// Pages of a ranking run fetched ahead. When a run starts, every page each
// ticked source will read is asked for at once from a fetch pool; as soon as
// a page is indexed (on a worker thread) every source that reads it extracts
// its result there, and only that small result is kept, never the page. The
// ranking loop still takes the sources in run order and the tickers in table
// order and applies each result at its turn, so what it shows is exactly what
// reading one page after another would show.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rank/ranksources.h"
#include "web/fetchpool.h"

namespace veltrop {

// What one ticker's page gave one source.
struct PageOutcome {
    bool opened = false;
    Points points;
    NewsReading news;  // days since news: its days are counted at the ticker's turn
};

class RankPrefetch {
public:
    explicit RankPrefetch(FetchPool& pool);
    ~RankPrefetch();  // stops every transfer of the run
    RankPrefetch(const RankPrefetch&) = delete;
    RankPrefetch& operator=(const RankPrefetch&) = delete;

    // Asks for the pages of `source`: addresses[row - 1] for each row, an
    // empty address for a row that gets no page. `cell` and `walk` are the
    // single-cell and fund-count positions the source reads with.
    void plan(const RankSource& source, const std::vector<std::string>& addresses, Cell cell, const FundWalk& walk);
    bool planned(const RankSource& source) const;
    // Pages planned between hold and release are asked for only at release,
    // so that every source planned meanwhile shares each address.
    void hold();
    void release();

    // The outcome of `row` for `source`, waiting for it as long as it takes
    // and calling `wait` at least every 20 ms meanwhile. Once `cancelled`
    // reads true every transfer but this row's own stops, and a fund-count
    // walk of this row ends after the page in flight.
    PageOutcome take(const RankSource& source, int row, const std::function<void()>& wait,
                     const std::function<bool()>& cancelled);

    // Forgets the rest of a source (it failed, or its box was cleared): its
    // results, and the transfers no other source needs.
    void drop(const RankSource& source);

    // Stops everything; every later take reports a page that did not open.
    void abort();

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace veltrop
