#pragma once
// Get Lists: the tickers of every ticked list, page after page, into the
// ticker list.
#include <span>
#include <string>
#include <vector>

#include "domain/tickers.h"
#include "domain/webaccess.h"
#include "lists/listsources.h"

namespace veltrop {

// What Get Lists asks and tells the window as it goes.
class ListsObserver : public MessageSink {
public:
    // Whether `source`'s box is ticked. It is read once when the run starts,
    // to ask for every ticked list's first page at once, and again at the
    // source's turn: the user may tick or clear a box while a page loads.
    virtual bool ticked(const ListSource& source) = 0;
    // A page's tickers went into the list, `last` the last of them (the
    // last before a full list's message); the window shows it while the
    // next page loads.
    virtual void pageTaken(const std::string& last) = 0;
    // One list's walk ended.
    virtual void listEnded() = 0;
};

// What one ticked list gave in a run.
struct ListReport {
    const ListSource* source = nullptr;
    int tickers = 0;        // tickers taken into the list
    int pages = 0;          // pages read
    int stoppedOnPage = 0;  // the page it ended on early, counted from 1; 0 when it did not
    std::string reason;     // why it ended early; empty when it did not
    // "the page layout may have changed: ..." when the first page opened
    // with no cell where the tickers should begin; else empty.
    std::string warning;

    // One line for a person: "Took 100 tickers from 1 page." or "Took 20
    // tickers from 1 page; stopped on page 2: the page answered 500."
    std::string summary() const;
};

// Appends the tickers of every ticked source of `sources`, in their order,
// to `list`. The list holds 500: the ticker that would be the 501st ends
// the run with "Only 500 tickers allowed". A list
// whose first page does not open says "Couldn't connect. Clear list and try
// again." and the run goes on with the next. Returns what each ticked list
// gave, in their order.
std::vector<ListReport> getLists(const WebAccess& web, std::span<const ListSource> sources, TickerList& list,
                                 ListsObserver& observer);

} // namespace veltrop
