// Get Lists and the list walker.
#include <set>

#include "app/form1.h"
#include "app/helpers.h"
#include "lists/listsources.h"

namespace veltrop {
namespace {
// A walk never reads more pages than this, whatever the next-page links say.
constexpr int maxPagesPerWalk = 100;
} // namespace

void Form1::getbutton_Click()
{
    Label3.caption = "Processing lists....";
    getbutton.enabled = false;
    savelistbutton.enabled = false;
    loadlistbutton.enabled = false;

    for (const ListSource& source : listSources()) {
        // Each box is read at its source's turn: the user may tick one while
        // an earlier page loads.
        if (List[source.box].value != 1)
            continue;
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
    if (!fetcher->OpenPage(listurl, 60, 0)) {
        msgbox("Couldn't connect. Clear list and try again.");
        getbutton.caption = "Get Lists";
        return;
    }

    // Pages already read in this walk: a next-page link back to one of them,
    // or a chain longer than any real list, would otherwise never end.
    std::set<std::string> visited{listurl, fetcher->pageUrl()};
    int pagesRead = 1;

    do {
        morepages = false;
        const int step = rowstep > 0 ? rowstep : 1;
        for (int k = 1; k <= maxTickers; k += step) {
            loopindex = Integer(k);
            celltext = fetcher->GetCellText(celltable, cellrow + loopindex, cellcolumn);
            if (celltext.empty())
                break;
            if (tickercount + 1 > maxTickers) {
                msgbox("Only 500 tickers allowed");
                getbutton.caption = "Get Lists";
                return;
            }
            ++tickercount;
            getbutton.caption = celltext;
            tickertable[tickercount][0] = celltext;
        }

        if (pagingon) {
            celltext = fetcher->GetCellText(nexttable, nextrow, nextcolumn);
            if (containsPhrase(celltext, nextlinktext)) {
                nextpageurl = fetcher->FindLinkUrl(celltext, 1);
                if (!nextpageurl.empty() && !visited.contains(nextpageurl) &&
                    pagesRead < maxPagesPerWalk && fetcher->OpenPage(nextpageurl, 60, 0)) {
                    morepages = true;
                    ++pagesRead;
                    visited.insert(nextpageurl);
                    visited.insert(fetcher->pageUrl());
                }
            }
        }
    } while (morepages);

    getbutton.caption = "Get Lists";
}

} // namespace veltrop
