// Get Lists and the list walker.
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

// The pages of one list, read on the engine's workers page after page.
class ListReader : public PageReader {
public:
    struct Page {
        std::vector<std::string> tickers;
        std::string next;  // the link to the page after it, followed or not
    };

    ListReader(const TableWalk& walk, std::shared_ptr<const std::atomic<bool>> full)
        : walker_(walk, isTicker), full_(std::move(full))
    {
    }
    std::string read(const PageView& page, const std::string& askedUrl) override
    {
        TableWalker::Rows rows = walker_.read(page, askedUrl);
        // Once the table is full, a page with a ticker ends its list at that
        // ticker: what lies beyond it is not asked for.
        const bool leadsOn = !(*full_ && !rows.cells.empty());
        pages.push_back({std::move(rows.cells), rows.next});
        return leadsOn ? std::move(rows.next) : std::string();
    }

    std::vector<Page> pages;

private:
    TableWalker walker_;
    std::shared_ptr<const std::atomic<bool>> full_;
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
    listsfull_ = std::make_shared<std::atomic<bool>>(false);
    const std::span<const ListSource> sources = listSources();
    for (std::size_t position = 0; position < sources.size(); ++position)
        if (List[sources[position].box].value == 1)
            listpages_->plan(position, sources[position].url(),
                             std::make_shared<ListReader>(walkOf(sources[position]), listsfull_));

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
    if (ownPages) {
        listpages_ = std::make_unique<PagePlan>(*pool_, lookahead);
        listsfull_ = std::make_shared<std::atomic<bool>>(false);
    }
    const PagePlan::Key key = PagePlan::Key(listposition_);
    if (!listpages_->planned(key, key))
        listpages_->plan(key, listurl,
                         std::make_shared<ListReader>(TableWalk{{celltable, cellrow, cellcolumn}, rowstep, maxTickers,
                                                                pagingon, {nexttable, nextrow, nextcolumn}, nextlinktext},
                                                      listsfull_));
    const std::shared_ptr<PageReader> read = listpages_->take(key, waitHook_);
    const auto done = [&] {
        getbutton.caption = "Get Lists";
        listpages_->drop(key, key);
        if (ownPages)
            listpages_.reset();
    };
    if (!read) {
        msgbox("Couldn't connect. Clear list and try again.");
        done();
        return;
    }

    const std::vector<ListReader::Page>& pages = static_cast<const ListReader&>(*read).pages;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        morepages = false;
        const int step = rowstep > 0 ? rowstep : 1;
        int k = 1;
        for (const std::string& ticker : pages[p].tickers) {
            loopindex = Integer(k);
            celltext = ticker;
            if (tickercount + 1 > maxTickers) {
                msgbox("Only 500 tickers allowed");
                *listsfull_ = true;
                done();
                return;
            }
            ++tickercount;
            getbutton.caption = ticker;
            tickertable[tickercount][0] = ticker;
            k += step;
        }
        loopindex = Integer(k);
        if (!pages[p].next.empty())
            nextpageurl = pages[p].next;
        morepages = p + 1 < pages.size();
    }
    done();
}

} // namespace veltrop
