// Get Lists and the list walker.
#include "app/form1.h"
#include "app/helpers.h"
#include "lists/listpages.h"
#include "lists/listsources.h"

namespace veltrop {
namespace {

TableWalk walkOf(const ListSource& source)
{
    return {{source.table, source.row, source.column}, source.step, maxTickers, source.paging,
            {source.nextTable, source.nextRow, source.nextColumn}, source.nextText};
}

} // namespace

void Form1::getbutton_Click()
{
    Label3.caption = "Processing lists....";
    getbutton.enabled = false;
    savelistbutton.enabled = false;
    loadlistbutton.enabled = false;

    // Every ticked list's first page is asked for at once.
    listpages_ = std::make_unique<ListPages>(*pool_, lookahead);
    int position = 0;
    for (const ListSource& source : listSources()) {
        if (List[source.box].value == 1)
            listpages_->plan(source.url(), walkOf(source), position);
        ++position;
    }

    for (const ListSource& source : listSources()) {
        // Each box is read at its source's turn: the user may tick one while
        // an earlier page loads, or clear one.
        if (List[source.box].value != 1) {
            listpages_->drop(source.url());
            continue;
        }
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
        listpages_ = std::make_unique<ListPages>(*pool_, lookahead);
    listpages_->plan(listurl,
                     {{celltable, cellrow, cellcolumn}, rowstep, maxTickers, pagingon,
                      {nexttable, nextrow, nextcolumn}, nextlinktext},
                     0);
    const auto done = [&] {
        getbutton.caption = "Get Lists";
        listpages_->drop(listurl);
        if (ownPages)
            listpages_.reset();
    };

    int n = 0;
    ListPages::Page page = listpages_->take(listurl, n, waitHook_);
    if (!page.opened) {
        msgbox("Couldn't connect. Clear list and try again.");
        done();
        return;
    }
    do {
        morepages = false;
        const int step = rowstep > 0 ? rowstep : 1;
        int k = 1;
        for (const std::string& ticker : page.tickers) {
            loopindex = Integer(k);
            celltext = ticker;
            if (tickercount + 1 > maxTickers) {
                msgbox("Only 500 tickers allowed");
                listpages_->full();
                done();
                return;
            }
            ++tickercount;
            getbutton.caption = ticker;
            tickertable[tickercount][0] = ticker;
            k += step;
        }
        loopindex = Integer(k);
        if (!page.next.empty()) {
            nextpageurl = page.next;
            page = listpages_->take(listurl, ++n, waitHook_);
            morepages = page.opened;
        }
    } while (morepages);
    done();
}

} // namespace veltrop
