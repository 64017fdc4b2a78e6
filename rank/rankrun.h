#pragma once
// A ranking run: every ticked rank source applied to every ticker of the
// list, page by page, each page's points added to the ticker's score.
#include <span>
#include <string>
#include <vector>

#include "domain/stopping.h"
#include "domain/tickers.h"
#include "domain/webaccess.h"
#include "rank/ranksources.h"

namespace veltrop {

// What a ranking run asks and tells the window as it goes.
class RankObserver : public virtual MessageSink {
public:
    // Whether `source`'s box is ticked, read when the run plans its pages
    // and again at the source's turn: the user may tick or clear a box while
    // an earlier source runs.
    virtual bool ticked(const RankSource& source) = 0;
    // The progress line: the count of pages still to go and the ticker, or
    // empty.
    virtual void progress(const std::string& text) = 0;
    // The progress line as a ticker's page is about to be read. False when
    // a Cancel came while the ticker before was still on show: this ticker
    // is then neither shown nor read. A window decides it on its own thread,
    // where the Cancel is clicked, so the ticker on show when it was clicked
    // is always the last one read.
    virtual bool tickerShown(const std::string& text)
    {
        progress(text);
        return true;
    }
    // A page recorded this score for its ticker.
    virtual void recorded(Whole score) = 0;
    // The run's pages are planned and its loops begin; then each ticked
    // source at its turn.
    virtual void rankingStarted() {}
    virtual void sourceStarted(const RankSource&) {}
};

// What one ticked source did in a run. Every ticker the filter kept is
// rated (its page added points, recorded or not), read with no points,
// skipped (no address could be made for it) or not reached (the ticker
// whose page failed and every one after it, or those after a Cancel or a
// cleared box).
struct SourceReport {
    const RankSource* source = nullptr;
    int rated = 0, noPoints = 0, skipped = 0, notReached = 0;
    int pages = 0;          // pages read, the fund count's further pages included
    int missing = 0;        // pages on which what the source looks for was not there
    std::string stoppedAt;  // the ticker it stopped at, when it did
    std::string reason;     // why it stopped early; empty when it ran to the end
    // "the page layout may have changed: ..." when what the source looks for
    // was on none of the (at least 3) pages that opened; else empty.
    std::string warning;

    bool stoppedEarly() const { return !reason.empty(); }
    // Why it stopped and the layout warning, "; " between: for a report.
    std::string why() const;
    // One line for a person: "Rated 2 of 39; stopped at FBC9: the page
    // answered 500." or "Rated all 39."
    std::string summary() const;
};

struct RankTally {
    // The highest and lowest score a page recorded (-10000 and 10000 when
    // none did).
    Whole highest = -10000;
    Whole lowest = 10000;
    // The sources run: every score is later divided by it.
    Count sourcesRun = 0;
    // Every source ticked when the run began or at its turn, in run order.
    std::vector<SourceReport> sources;
};

// Rates the tickers of `list` by every ticked source of `sources`,
// in their order, adding to each ticker's score. `stepsToGo` counts the
// pages still to come down as the progress line shows them. A source stops
// at a ticker whose page does not open. The run listens to `stopping`'s
// Cancel while it runs (one asked before is forgotten) and stops after the
// ticker in progress once it is asked.
RankTally rankTickers(const WebAccess& web, std::span<const RankSource> sources, TickerList& list, Count stepsToGo,
                      Stopping& stopping, RankObserver& observer);

} // namespace veltrop
