// The per-ticker rank loop: one source applied to every ticker of the table.
#include "app/form1.h"
#include "app/helpers.h"
#include "rank/newsdate.h"
#include "rank/prefetch.h"
#include "rank/ranksources.h"
#include "web/fetchpool.h"
#include "web/url.h"

namespace veltrop {
namespace {

// The fetcher's current page, as the extractions read it.
class FetcherPage : public RankPage {
public:
    explicit FetcherPage(const PageFetcher& fetcher) : fetcher_(fetcher) {}
    std::string cellText(int table, int row, int column) const override
    {
        return fetcher_.GetCellText(table, row, column);
    }
    std::string pageText() const override { return fetcher_.GetPageText(); }
    std::string linkUrl(const std::string& text, int index) const override
    {
        return fetcher_.FindLinkUrl(text, index);
    }
    std::string url() const override { return fetcher_.pageUrl(); }

private:
    const PageFetcher& fetcher_;
};

// The single-cell reader as getranks runs it: no own extraction, the cell
// taken from the form fields.
constexpr RankSource kCellReader{
    -1, "", "", "", "", Extraction::SingleCell, Cell{}, ProgressOrder::ShowThenCount, true, false};

// The text a source's address carries for a ticker as the table holds it:
// trimmed, or the pre-check's code; nullopt when the pre-check skips it.
std::optional<std::string> addressText(const RankSource& source, const std::string& ticker)
{
    if (source.precheck)
        return smartSelectCode(ticker);
    return std::string(trimBlanks(ticker));
}

std::string addressPrefix(const RankSource& source)
{
    return "http://" + std::string(source.host) + std::string(source.before);
}

} // namespace

void Form1::loadranksource(const RankSource& source)
{
    rankingsource_ = &source;
    urlprefix = addressPrefix(source);
    urlsuffix = std::string(source.after);
    if (source.extraction == Extraction::SingleCell) {
        celltable = Integer(source.cell.table);
        cellrow = Integer(source.cell.row);
        cellcolumn = Integer(source.cell.column);
    } else if (source.extraction == Extraction::FundCount) {
        const FundWalk& walk = fundWalk();
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
    const bool cellSource = rankingsource_ && rankingsource_->extraction == Extraction::SingleCell;
    rankloop(cellSource ? *rankingsource_ : kCellReader);
}

void Form1::planranks()
{
    if (!fetchahead)
        return;
    if (!pool_)
        pool_ = std::make_unique<FetchPool>();
    prefetch_ = std::make_unique<RankPrefetch>(*pool_);
    prefetch_->hold();
    for (const RankSource& source : rankSources()) {
        if (Rank[source.index].value != 1)
            continue;
        std::vector<std::string> addresses;
        for (int row = 1; row <= tickercount; ++row) {
            const std::optional<std::string> text = addressText(source, cellText(tickertable[row][0]));
            addresses.push_back(text ? addressPrefix(source) + encodeUrlPart(*text) + std::string(source.after)
                                     : std::string());
        }
        prefetch_->plan(source, addresses, source.cell, fundWalk());
    }
    prefetch_->release();
}

bool Form1::rankpage(const RankSource& source, const std::string& address, Points& points)
{
    if (!prefetch_ || source.index < 0) {
        if (!fetcher->OpenPage(address, 60, 0))
            return false;
        points = extractpoints(source);
        return true;
    }
    // The window gets its turn once a ticker, so the progress text shows and
    // Cancel is seen even when every result is already in.
    if (waitHook_)
        waitHook_();
    const PageOutcome outcome =
        prefetch_->take(source, loopindex, waitHook_, [this] { return cancelflag || closing_; });
    if (!outcome.opened)
        return false;
    // The days are counted now, at the ticker's turn, as if its page had
    // just been read.
    points = source.extraction == Extraction::DaysSinceNews ? newsPoints(outcome.news, presentDayNumber())
                                                             : outcome.points;
    return true;
}

void Form1::rankloop(const RankSource& source)
{
    // A source ticked during the run has its pages asked for at its turn.
    if (prefetch_ && source.index >= 0 && !prefetch_->planned(source)) {
        std::vector<std::string> addresses;
        for (int row = 1; row <= tickercount; ++row) {
            const std::optional<std::string> text = addressText(source, cellText(tickertable[row][0]));
            addresses.push_back(text ? urlprefix + encodeUrlPart(*text) + urlsuffix : std::string());
        }
        prefetch_->plan(source, addresses, {celltable, cellrow, cellcolumn},
                        {{celltable, cellrow, cellcolumn}, rowstep, pagingon, {nexttable, nextrow, nextcolumn},
                         nextlinktext});
    }

    const Integer n = tickercount;
    for (loopindex = 1; loopindex <= n; ++loopindex) {
        if (cancelflag)
            break;
        currentticker = cellText(tickertable[loopindex][0]);
        const std::optional<std::string> sent = addressText(source, currentticker);
        if (!sent)
            continue;

        const auto show = [&] { Label2.caption = countCaption(stepstogo, " to go... ") + currentticker; };
        if (source.progress == ProgressOrder::ShowThenCount) {
            show();
            --stepstogo;
        } else {
            --stepstogo;
            show();
        }

        Points points;
        if (!rankpage(source, urlprefix + encodeUrlPart(*sent) + urlsuffix, points))
            break;
        applypoints(loopindex, points);
    }
    // Whatever was fetched ahead for the tickers not reached is not wanted.
    if (prefetch_ && source.index >= 0)
        prefetch_->drop(source);
    if (source.clearsProgress)
        Label2.caption.clear();
}

Points Form1::extractpoints(const RankSource& source)
{
    const FetcherPage page(*fetcher);
    switch (source.extraction) {
    case Extraction::SingleCell:
        return singleCell(page, {celltable, cellrow, cellcolumn});
    case Extraction::DaysSinceNews:
        return daysSinceNews(page, presentDayNumber());
    case Extraction::RankChange:
        return rankChange(page);
    case Extraction::FundCount: {
        const FundWalk walk{{celltable, cellrow, cellcolumn}, rowstep, pagingon, {nexttable, nextrow, nextcolumn},
                            nextlinktext};
        const auto open = [&](const std::string& url) -> const RankPage* {
            nextpageurl = url;
            morepages = fetcher->OpenPage(url, 60, 0);
            return morepages ? &page : nullptr;
        };
        return fundCount(page, walk, open, [this] { return cancelflag; });
    }
    case Extraction::GuruAverage:
        return guruAverage(page);
    case Extraction::SmartSelect:
        return smartSelectAverage(page);
    case Extraction::Broker:
        return brokerRecommendation(page);
    }
    return Points::nothing();
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
