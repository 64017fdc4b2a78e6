// The per-ticker rank loop: one source applied to every ticker of the table.
#include "app/form1.h"
#include "app/helpers.h"
#include "rank/newsdate.h"
#include "rank/ranksources.h"
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

} // namespace

void Form1::loadranksource(const RankSource& source)
{
    urlprefix = "http://" + std::string(source.host) + std::string(source.before);
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

void Form1::getranks() { rankloop(kCellReader); }

void Form1::rankloop(const RankSource& source)
{
    const Integer n = tickercount;
    for (loopindex = 1; loopindex <= n; ++loopindex) {
        if (cancelflag)
            break;
        currentticker = cellText(tickertable[loopindex][0]);
        std::string sent(trimBlanks(currentticker));
        if (source.precheck) {
            std::optional<std::string> code = smartSelectCode(currentticker);
            if (!code)
                continue;
            sent = std::move(*code);
        }

        const auto show = [&] { Label2.caption = countCaption(stepstogo, " to go... ") + currentticker; };
        if (source.progress == ProgressOrder::ShowThenCount) {
            show();
            --stepstogo;
        } else {
            --stepstogo;
            show();
        }

        if (!fetcher->OpenPage(urlprefix + encodeUrlPart(sent) + urlsuffix, 60, 0))
            break;
        applypoints(loopindex, extractpoints(source));
    }
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
