#include "lists/getlists.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "web/pageplan.h"
#include "web/tablewalk.h"

namespace veltrop {
namespace {

TableWalk walkOf(const ListSource& source)
{
    return {{source.table, source.row, source.column}, source.step, maxTickers, source.paging,
            {source.nextTable, source.nextRow, source.nextColumn}, source.nextText};
}

bool isTicker(const std::string& cell) { return !cell.empty(); }

// The pages of one list, read on the engine's workers page after page and
// taken by the command's loop as each comes.
class ListReader : public PageReader {
public:
    explicit ListReader(const TableWalk& walk) : walk_(walk), walker_(walk, isTicker) {}

    std::string read(const PageView& page, const std::string& askedUrl) override
    {
        TableWalker::Rows rows = walker_.read(page, askedUrl);
        const bool tableThere = page.hasCell(walk_.first.table, walk_.first.row + 1, walk_.first.column);
        std::lock_guard lock(mutex_);
        if (pages_.empty())
            firstPageHasTable_ = tableThere;
        pages_.push_back(std::move(rows.cells));
        return std::move(rows.next);
    }

    // The tickers of page `index` of those read so far.
    std::vector<std::string> page(std::size_t index) const
    {
        std::lock_guard lock(mutex_);
        return index < pages_.size() ? pages_[index] : std::vector<std::string>{};
    }

    const TableWalk& walk() const { return walk_; }
    // Whether the first page read had a cell where the tickers begin.
    bool firstPageHasTable() const
    {
        std::lock_guard lock(mutex_);
        return firstPageHasTable_;
    }

private:
    const TableWalk walk_;
    TableWalker walker_;  // only read() touches it, one page at a time
    // Guards `pages_`: a worker appends a page while the command's loop
    // takes the ones before it.
    mutable std::mutex mutex_;
    std::vector<std::vector<std::string>> pages_;
    bool firstPageHasTable_ = true;
};

// Takes the pages of list `key` as they come, in order: while the next one
// loads the window shows the last ticker taken, as reading one page after
// another would.
void readList(PagePlan& pages, PagePlan::Key key, TickerList& list, ListsObserver& observer,
              ListReport& report)
{
    const auto reader = pages.readerOf<ListReader>(key);
    for (std::size_t seen = 0; reader; ++seen) {
        if (pages.awaitPages(key, seen) <= seen)
            break;
        report.pages = int(seen) + 1;
        std::string last;  // shown while the next page loads
        for (const std::string& ticker : reader->page(seen)) {
            if (list.full()) {
                if (!last.empty())
                    observer.pageTaken(last);
                // Full: no list's next page can be used any more, so none
                // is read while the message shows, or after.
                pages.stopFurtherPages();
                report.stoppedOnPage = report.pages;
                report.reason = "the table holds 500 tickers";
                observer.message("Only 500 tickers allowed");
                return;
            }
            ++report.tickers;
            list.add(ticker);
            last = ticker;
        }
        if (!last.empty())
            observer.pageTaken(last);
    }
    if (reader && report.pages >= 1 && !reader->firstPageHasTable()) {
        const Cell& at = reader->walk().first;
        report.warning = "the page layout may have changed: table " + std::to_string(at.table) + ", row " +
                         std::to_string(at.row) + ", column " + std::to_string(at.column) +
                         " is not on its first page";
    }
    FetchPool::Failure why;
    const bool opened = pages.take<ListReader>(key, {}, &why) != nullptr;
    if (why.reason != FetchPool::Failure::Reason::None) {
        report.stoppedOnPage = report.pages + 1;
        report.reason = whyNotOpened(why);
    } else if (report.pages >= maxWalkPages) {
        report.stoppedOnPage = report.pages;
        report.reason = "a list is read to its 100th page";
    }
    if (!opened)
        observer.message("Couldn't connect. Clear list and try again.");
}

} // namespace

std::string ListReport::summary() const
{
    std::string line = "Took " + std::to_string(tickers) + (tickers == 1 ? " ticker" : " tickers") + " from " +
                       std::to_string(pages) + (pages == 1 ? " page" : " pages");
    if (!reason.empty())
        line += "; stopped on page " + std::to_string(stoppedOnPage) + ": " + reason;
    if (!warning.empty())
        line += "; " + warning;
    return line + ".";
}

std::vector<ListReport> getLists(const WebAccess& web, std::span<const ListSource> sources, TickerList& list,
                                 ListsObserver& observer)
{
    std::vector<ListReport> reports;
    PagePlan pages(web.engine, web.lookahead, web.stop);
    const auto plan = [&](std::size_t position) {
        pages.plan(position, sources[position].url, std::make_shared<ListReader>(walkOf(sources[position])));
    };
    // Every ticked list's first page is asked for at once.
    for (std::size_t position = 0; position < sources.size(); ++position)
        if (observer.ticked(sources[position]))
            plan(position);

    for (std::size_t position = 0; position < sources.size(); ++position) {
        if (!observer.ticked(sources[position])) {
            pages.drop(position, position);
            continue;
        }
        // A list ticked while an earlier page loaded is asked for at its turn.
        if (!pages.planned(position, position))
            plan(position);
        // A full table still walks each later list: its first page may
        // offer a ticker, which then says so.
        ListReport& report = reports.emplace_back();
        report.source = &sources[position];
        readList(pages, position, list, observer, report);
        observer.listEnded();
        pages.drop(position, position);
    }
    return reports;
}

} // namespace veltrop
