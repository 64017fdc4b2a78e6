// The rank sources, in the order a ranking run takes them.
#include "rank/ranksources.h"

#include "web/text.h"
#include "domain/sites.h"
#include "web/url.h"

namespace veltrop {
namespace {

using enum Extraction;
using enum ProgressOrder;

// All nine Telescan sources read one report page: eight of them one rank
// each, the ninth the change of all eight against a month earlier.
constexpr std::string_view kTelescanReport =
    "/wsc2/Tscn_Rankings.html?template=tscnrank.htm&Button=Get+Report&Symbol=";

// The single-cell sources and days since news show their progress before
// counting down and clear it at the end; the others count down first (so
// they show the count already lowered) and leave their last text standing.
constexpr RankSource cellSource(int index, std::string_view caption, std::string_view host,
                                std::string_view before, std::string_view after, Cell cell)
{
    return {index, caption, host, before, after, SingleCell, cell, ShowThenCount, true, false};
}

constexpr RankSource ownSource(int index, std::string_view caption, std::string_view host,
                               std::string_view before, std::string_view after, Extraction extraction)
{
    const bool showFirst = extraction == DaysSinceNews;
    return {index,    caption, host, before, after, extraction, Cell{}, showFirst ? ShowThenCount : CountThenShow,
            showFirst, extraction == SmartSelect};
}

constexpr std::array<RankSource, 17> kSources{{
    cellSource(0, "CN - Momentum", hosts::cnetInvestor,
               "/investor/brokeragecenter/momentum-rating-single-company/0-9910-1087-0-", ".html", {14, 2, 2}),
    ownSource(1, "MW - Days since news", hosts::marketwatch, "/tools/quotes/news.asp?symb=", "", DaysSinceNews),
    cellSource(2, "TS - ST Growth", hosts::telescan, kTelescanReport, "", {12, 6, 2}),
    cellSource(3, "TS - ST Value", hosts::telescan, kTelescanReport, "", {12, 8, 2}),
    cellSource(4, "TS - ST Tech", hosts::telescan, kTelescanReport, "", {12, 10, 2}),
    cellSource(9, "TS - Analyst", hosts::telescan, kTelescanReport, "", {12, 12, 2}),
    cellSource(10, "TS - Insider", hosts::telescan, kTelescanReport, "", {12, 13, 2}),
    cellSource(11, "TS - Fundamental", hosts::telescan, kTelescanReport, "", {12, 14, 2}),
    cellSource(12, "TS - Momentum", hosts::telescan, kTelescanReport, "", {12, 15, 2}),
    cellSource(13, "TS - Volume Rank", hosts::telescan, kTelescanReport, "", {12, 16, 2}),
    ownSource(14, "TS - All Rank Increase", hosts::telescan, kTelescanReport, "", RankChange),
    cellSource(5, "BC - Overall Perf.", hosts::barchart, "/performance.htx?sym=", "", {11, 2, 4}),
    ownSource(6, "FB - Fund Count", hosts::forbes, "/finance/mktguideapps/compinfo/CoInFundHold.jhtml?tkr=", "",
              FundCount),
    ownSource(8, "VL - Guru Analysis", hosts::validea, "/stocks/guruanalysis.asp?ticker=", "", GuruAverage),
    cellSource(7, "BC - Buy/Sell Average", hosts::barchart, "/texpert.asp?sym=", "", {10, 28, 2}),
    ownSource(15, "IBD - SmartSelect", hosts::ibd, "/SmartSelect/SmartSelect.asp?x=", "", SmartSelect),
    ownSource(16, "ZK - Buy/Sell Rank", hosts::zacks, "/reports/reports.php3?HLITE1=6699BC&HLITE2=DEDEC5&ticker=",
              "&session=TMP.QORVENT&type=20", Broker),
}};

} // namespace

const std::array<RankSource, 17>& rankSources() { return kSources; }

const RankSource* rankSourceByIndex(int index)
{
    for (const RankSource& source : kSources)
        if (source.index == index)
            return &source;
    return nullptr;
}

const TableWalk& fundWalk()
{
    // Holdings stand on every other row of table 11 from row 3; the link to
    // the next page of holdings sits below them.
    static const TableWalk walk{{11, 2, 3}, 2, 5000, true, {11, 53, 2}, "Next"};
    return walk;
}

std::optional<std::string> rankAddress(const RankSource& source, std::string_view ticker)
{
    std::optional<std::string> text = source.precheck ? smartSelectCode(ticker) : std::string(trimBlanks(ticker));
    if (!text)
        return std::nullopt;
    return "http://" + std::string(source.host) + std::string(source.before) + encodeUrlPart(*text) +
           std::string(source.after);
}

} // namespace veltrop
