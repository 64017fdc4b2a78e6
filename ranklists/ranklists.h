#pragma once
// Rank Lists as a whole: the price and volume filter, every ticked rank
// source, the results. The window and any other front end run it the same
// way.
#include <string>
#include <vector>

#include "filter/filter.h"
#include "rank/rankrun.h"
#include "results/results.h"

namespace veltrop {

class RankListsObserver : public FilterObserver, public RankObserver {
public:
    // A rank source is ticked and the run begins: the filter comes next.
    virtual void started() = 0;
    // The ranked tickers, best first, before the run's last message.
    virtual void resultsShown(const RankedRows& rows) = 0;
};

enum class RankListsEnd {
    NoSourceTicked,  // "No Ranks selected": nothing changed
    NothingRanked,   // "No tickers ranked.  Clear and try again."
    Ranked,
};

struct RankListsInput {
    TickerList& list;
    Limits limits;
    // Its Cancel, which the ranking loops read at every ticker, and its stop
    // at once, which the front end holds.
    Stopping& stopping;
    // The sources in effect: the rank sources in run order and the quote
    // page; the built-in ones unless given.
    std::span<const RankSource> sources = rankSources();
    const QuotesEntry* quotes = builtinCatalogue().quotes ? &*builtinCatalogue().quotes : nullptr;
};

struct RankListsOutcome {
    RankListsEnd end = RankListsEnd::NoSourceTicked;
    // What each ticked source did; empty when none was ticked.
    std::vector<SourceReport> sources;
    // The ranked tickers best first, which the list now holds too.
    RankedRows rows;
};

RankListsOutcome rankLists(const WebAccess& web, const RankListsInput& input, RankListsObserver& observer);

} // namespace veltrop
