#pragma once
// The pages of a ranking run. When a run starts, the pages each ticked
// source will read are asked of the fetch engine, at most `lookahead` at a
// time ahead of the loop (one: one page after another); as soon as a page is
// indexed (on a worker thread) every source that reads it extracts its result
// there, and only that small result is kept, never the page. The ranking
// loop takes the sources in run order and the tickers in table order and
// applies each result at its turn, so what it shows does not depend on how
// far ahead the pages were read.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rank/ranksources.h"
#include "web/fetchpool.h"
#include "web/wait.h"

namespace veltrop {

// What one ticker's page gave one source.
struct PageOutcome {
    bool opened = false;
    Points points;
    NewsReading news;  // days since news: its days are counted at the ticker's turn
};

class RankPrefetch {
public:
    // `lookahead` 0: as many pages at once as the engine allows.
    RankPrefetch(FetchPool& engine, int lookahead);
    ~RankPrefetch();  // stops every transfer of the run
    RankPrefetch(const RankPrefetch&) = delete;
    RankPrefetch& operator=(const RankPrefetch&) = delete;

    // Asks for the pages of `source`: addresses[row - 1] for each row, an
    // empty address for a row that gets no page.
    void plan(const RankSource& source, const std::vector<std::string>& addresses);
    bool planned(const RankSource& source) const;
    // Pages planned between hold and release are asked for only at release,
    // so that every source planned meanwhile shares each address.
    void hold();
    void release();

    // The outcome of `row` for `source`, waiting for it as long as it takes
    // and calling `wait` at least every 20 ms meanwhile. Once `cancelled`
    // reads true every transfer but this row's own stops, and a fund-count
    // walk of this row ends after the page in flight.
    PageOutcome take(const RankSource& source, int row, const WaitHook& wait, const std::function<bool()>& cancelled);

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
