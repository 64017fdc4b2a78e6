#include "ranklists/ranklists.h"

namespace veltrop {

RankListsOutcome rankLists(const WebAccess& web, const RankListsInput& input, RankListsObserver& observer)
{
    const std::span<const RankSource> sources = input.sources;
    Count ticked = 0;
    for (const RankSource& source : sources)
        if (observer.ticked(source))
            ++ticked;
    if (ticked == 0) {
        observer.message("No Ranks selected");
        return {};
    }
    observer.started();

    filterTickers(web, input.list, input.limits, observer, *input.quotes);
    const RankTally tally = rankTickers(web, sources, input.list, input.list.size() * ticked, input.stopping, observer);
    RankedRows rows = rankScores(input.list, tally);
    input.list = listFromRows(rows);
    observer.resultsShown(rows);

    if (rows.empty())
        observer.message("No tickers ranked.  Clear and try again.");
    return {rows.empty() ? RankListsEnd::NothingRanked : RankListsEnd::Ranked, tally.sources, std::move(rows)};
}

} // namespace veltrop
