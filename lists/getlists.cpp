// Get Lists and the list walker.
#include <algorithm>
#include <mutex>

#include "app/form1.h"
#include "app/helpers.h"
#include "lists/listsources.h"
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
// shown by the window's thread as each comes.
class ListReader : public PageReader {
public:
    struct Page {
        std::vector<std::string> tickers;
        std::string next;  // the link to the page after it, followed or not
    };

    explicit ListReader(const TableWalk& walk) : walker_(walk, isTicker) {}

    std::string read(const PageView& page, const std::string& askedUrl) override
    {
        TableWalker::Rows rows = walker_.read(page, askedUrl);
        std::lock_guard lock(mutex_);
        pages_.push_back({std::move(rows.cells), rows.next});
        return std::move(rows.next);
    }

    // Pages `from` up to `to` of those read so far.
    std::vector<Page> pages(std::size_t from, std::size_t to) const
    {
        std::lock_guard lock(mutex_);
        to = std::min(to, pages_.size());
        return {pages_.begin() + std::ptrdiff_t(std::min(from, to)), pages_.begin() + std::ptrdiff_t(to)};
    }

private:
    TableWalker walker_;  // only read() touches it, one page at a time
    // Guards `pages_`: a worker appends a page while the window's thread
    // shows the ones before it.
    mutable std::mutex mutex_;
    std::vector<Page> pages_;
};

} // namespace

void Form1::getbutton_Click()
{
    Label3.caption = "Processing lists....";
    getbutton.enabled = false;
    savelistbutton.enabled = false;
    loadlistbutton.enabled = false;

    // Every ticked list's first page is asked for at once.
    listpages_ = std::make_unique<PagePlan>(*pool_, lookahead);
    const std::span<const ListSource> sources = listSources();
    for (std::size_t position = 0; position < sources.size(); ++position)
        if (List[sources[position].box].value == 1)
            listpages_->plan(position, sources[position].url(), std::make_shared<ListReader>(walkOf(sources[position])));

    for (std::size_t position = 0; position < sources.size(); ++position) {
        const ListSource& source = sources[position];
        // Each box is read at its source's turn: the user may tick one while
        // an earlier page loads, or clear one.
        if (List[source.box].value != 1) {
            listpages_->drop(position, position);
            continue;
        }
        listposition_ = int(position);
        listurl = source.url();
        celltable = Integer(source.table);
        cellrow = Integer(source.row);
        cellcolumn = Integer(source.column);
        rowstep = Integer(source.step);
        pagingon = source.paging;
        if (source.paging) {
            nexttable = Integer(source.nextTable);
            nextrow = Integer(source.nextRow);
            nextcolumn = Integer(source.nextColumn);
            nextlinktext = source.nextText;
        }
        getlists();
    }
    listpages_.reset();
    listposition_ = 0;

    if (tickercount != 0) {
        loadlistbutton.enabled = true;
        savelistbutton.enabled = true;
        clearbutton.enabled = true;
        rankbutton.enabled = true;
        Label1.caption = countCaption(tickercount, " tickers found");
    }
    if (tickercount == 0) {
        msgbox("No Tickers selected");
        getbutton.enabled = true;
        savelistbutton.enabled = false;
        loadlistbutton.enabled = true;
    }
    Label3.caption = "Idle...";
}

void Form1::getlists()
{
    // Called on its own, outside Get Lists, the walker reads its pages for
    // itself; a list ticked during Get Lists is asked for at its turn.
    const bool ownPages = !listpages_;
    if (ownPages)
        listpages_ = std::make_unique<PagePlan>(*pool_, lookahead);
    const PagePlan::Key key = PagePlan::Key(listposition_);
    if (!listpages_->planned(key, key))
        listpages_->plan(key, listurl,
                         std::make_shared<ListReader>(TableWalk{{celltable, cellrow, cellcolumn}, rowstep, maxTickers,
                                                                pagingon, {nexttable, nextrow, nextcolumn}, nextlinktext}));
    const auto reader = std::static_pointer_cast<ListReader>(listpages_->readerOf(key));
    const auto done = [&] {
        getbutton.caption = "Get Lists";
        listpages_->drop(key, key);
        if (ownPages)
            listpages_.reset();
    };

    // Each page as it comes, in order: while the next one loads the button
    // shows the last ticker taken, as reading one page after another would.
    for (std::size_t seen = 0; reader; ++seen) {
        if (listpages_->awaitPages(key, seen, waitHook_) <= seen)
            break;
        for (const ListReader::Page& page : reader->pages(seen, seen + 1)) {
            morepages = false;
            const int step = rowstep > 0 ? rowstep : 1;
            int k = 1;
            for (const std::string& ticker : page.tickers) {
                loopindex = Integer(k);
                celltext = ticker;
                if (tickercount + 1 > maxTickers) {
                    // Full: no list's next page can be used any more, so none
                    // is read while the message shows, or after.
                    listpages_->stopFurtherPages();
                    msgbox("Only 500 tickers allowed");
                    done();
                    return;
                }
                ++tickercount;
                getbutton.caption = ticker;
                tickertable[tickercount][0] = ticker;
                k += step;
            }
            loopindex = Integer(k);
            if (!page.next.empty())
                nextpageurl = page.next;
        }
    }
    if (!listpages_->take(key, waitHook_))
        msgbox("Couldn't connect. Clear list and try again.");
    done();
}

} // namespace veltrop
