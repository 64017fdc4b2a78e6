// The per-ticker rank loop: one source applied to every ticker of the table.
#include "app/form1.h"
#include "app/helpers.h"
#include "rank/newsdate.h"
#include "rank/ranksources.h"
#include "web/pageplan.h"
#include "web/wait.h"

namespace veltrop {

void Form1::loadranksource(const RankSource& source)
{
    rankingsource_ = &source;
    urlprefix = "http://" + std::string(source.host) + std::string(source.before);
    urlsuffix = std::string(source.after);
    if (source.extraction == Extraction::SingleCell) {
        celltable = Integer(source.cell.table);
        cellrow = Integer(source.cell.row);
        cellcolumn = Integer(source.cell.column);
    } else if (source.extraction == Extraction::FundCount) {
        const TableWalk& walk = fundWalk();
        celltable = Integer(walk.first.table);
        cellrow = Integer(walk.first.row);
        cellcolumn = Integer(walk.first.column);
        rowstep = Integer(walk.rowStep);
        nexttable = Integer(walk.next.table);
        nextrow = Integer(walk.next.row);
        nextcolumn = Integer(walk.next.column);
        pagingon = walk.paging;
        nextlinktext = walk.nextText;
    }
}

void Form1::getranks()
{
    if (rankingsource_)
        rankloop(*rankingsource_);
}

void Form1::planranks(const RankSource& source)
{
    for (int row = 1; row <= tickercount; ++row)
        if (const auto address = rankAddress(source, cellText(tickertable[row][0])))
            rankpages_->plan(rankKey(source, row), *address, std::make_shared<SourceReader>(source));
}

void Form1::planranks()
{
    rankpages_ = std::make_unique<PagePlan>(*pool_, lookahead);
    rankpages_->hold();
    // A whole run's reads take several milliseconds to plan.
    for (const RankSource& source : rankSources()) {
        if (Rank[source.index].value == 1)
            planranks(source);
        giveTurnIfDue(waitHook_);
    }
    // Asking the engine for every page of a run at once takes longer than a
    // frame, and in one call; the plan is safe to use from another thread.
    runBesideHook([&pages = *rankpages_] { pages.release(); }, waitHook_);
}

void Form1::rankloop(const RankSource& source)
{
    // Called on its own, outside a run, the loop reads its source's pages
    // for itself.
    const bool ownPages = !rankpages_;
    if (ownPages)
        rankpages_ = std::make_unique<PagePlan>(*pool_, lookahead);
    // A source ticked during the run has its pages asked for at its turn.
    const auto first = rankKey(source, 0), last = rankKey(source, maxTickers);
    if (!rankpages_->planned(first, last))
        planranks(source);

    const Integer n = tickercount;
    for (loopindex = 1; loopindex <= n; ++loopindex) {
        if (cancelflag)
            break;
        currentticker = cellText(tickertable[loopindex][0]);
        if (!rankAddress(source, currentticker))
            continue;

        const auto show = [&] { Label2.caption = countCaption(stepstogo, " to go... ") + currentticker; };
        if (source.progress == ProgressOrder::ShowThenCount) {
            show();
            --stepstogo;
        } else {
            --stepstogo;
            show();
        }

        // The window gets its turn once a ticker, so the progress text shows
        // and Cancel is seen even when every result is already in.
        giveTurn(waitHook_);
        const std::shared_ptr<PageReader> read =
            rankpages_->take(rankKey(source, loopindex), waitHook_, [this] { return cancelflag || closing_; });
        if (!read)
            break;
        applypoints(loopindex, static_cast<const SourceReader&>(*read).points(presentDayNumber()));
    }
    // Whatever was fetched ahead for the tickers not reached is not wanted.
    rankpages_->drop(first, last);
    if (ownPages)
        rankpages_.reset();
    if (source.clearsProgress)
        Label2.caption.clear();
}

void Form1::applypoints(int row, const Points& points)
{
    if (points.kind == Points::Kind::Nothing)
        return;
    CellValue& score = tickertable[row][1];
    const double* old = std::get_if<double>(&score);
    const double sum = (old ? *old : 0.0) + static_cast<double>(points.value);
    score = sum;
    if (points.kind != Points::Kind::Record)
        return;
    currentscore = roundHalfEven(sum);
    rankbutton.caption = std::to_string(currentscore);
    if (currentscore > highestvalue)
        highestvalue = currentscore;
    if (currentscore < lowestvalue)
        lowestvalue = currentscore;
}

} // namespace veltrop
