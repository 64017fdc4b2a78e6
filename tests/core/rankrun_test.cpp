// The per-ticker rank loop and the source table, over hand-written pages
// served by the simulated web.
#include <map>
#include <thread>
#include <tuple>

#include <gtest/gtest.h>

#include "rank/rankrun.h"
#include "rank/ranksources.h"
#include "testsupport.h"

using namespace veltrop;

namespace {

using Cells = std::map<std::tuple<int, int, int>, std::string>;

// A page holding the given cells; every table up to the highest one named
// exists, each as wide and long as its cells need.
std::string cellsPage(const Cells& cells, const std::string& text = {})
{
    std::map<int, std::pair<int, int>> size;  // table -> rows, columns
    int tables = 0;
    for (const auto& [key, _] : cells) {
        const auto [t, r, c] = key;
        tables = std::max(tables, t);
        size[t].first = std::max(size[t].first, r);
        size[t].second = std::max(size[t].second, c);
    }
    std::string html = "<html><body><p>" + text + "</p>";
    for (int t = 1; t <= tables; ++t) {
        html += "<table>";
        for (int r = 1; r <= size[t].first; ++r) {
            html += "<tr>";
            for (int c = 1; c <= size[t].second; ++c) {
                auto it = cells.find({t, r, c});
                html += "<td>" + (it == cells.end() ? std::string() : it->second) + "</td>";
            }
            html += "</tr>";
        }
        html += "</table>";
    }
    return html + "</body></html>";
}

const RankSource& source(int index) { return *veltrop::testing::rankSourceInBox(index); }

std::string address(int index, const std::string& ticker)
{
    const RankSource& s = source(index);
    return s.before + ticker + s.after;
}

// What a source's report says, in one line for comparing.
std::string reportOf(const RankTally& tally)
{
    if (tally.sources.size() != 1)
        return "reports: " + std::to_string(tally.sources.size());
    const SourceReport& r = tally.sources[0];
    return std::to_string(r.rated) + " rated, " + std::to_string(r.noPoints) + " no points, " +
           std::to_string(r.skipped) + " skipped, " + std::to_string(r.notReached) + " not reached, " +
           std::to_string(r.pages) + " pages | " + r.summary();
}


// One rank source over a ticker list, as a ranking run takes it.
class RankLoop : public veltrop::testing::WebUnitTest, public RankObserver {
protected:
    TickerList list;
    Stopping stopping;
    bool cancel = false;  // Cancel is clicked as the loops begin
    RankTally tally;
    std::string progressLine;             // the progress line as the window would show it
    std::string recordedCaption;          // the rank button's: the last recorded score
    std::vector<std::string> shown;       // the count down as each page was waited for
    std::function<void()> duringTurn;     // after each progress text

    bool ticked(const RankSource&) override { return true; }
    void progress(const std::string& text) override
    {
        progressLine = text;
        if (text.find(" to go... ") != std::string::npos)
            shown.push_back(text);
        if (duringTurn)
            duringTurn();
    }
    void recorded(Whole score) override { recordedCaption = std::to_string(score); }
    void message(const std::string& text) override { messages.push_back(text); }
    void rankingStarted() override
    {
        if (cancel)
            stopping.cancel();
    }

    void SetUp() override
    {
        // One page after another, as the loop reads them on its own.
        lookahead = 1;
        web.setLatency(30);
    }

    void tickers(std::initializer_list<const char*> names)
    {
        list.clear();
        for (const char* t : names)
            list.add(t);
    }

    void momentum(const std::string& ticker, const std::string& cell)
    {
        web.setPage(address(0, ticker), cellsPage({{{14, 2, 2}, cell}}));
    }

    void run(int index)
    {
        tally = rankTickers(access(), {veltrop::testing::rankSourceInBox(index), 1}, list, list.size(), stopping, *this);
    }

    // Rows counted from 1, as the list shows them.
    std::string score(int row) const { return cellText(list[row - 1].score); }
    bool untouched(int row) const { return isEmpty(list[row - 1].score); }
};

TEST(RankSourceTable, AsTheSitesAddressThem)
{
    struct Row {
        int index;
        const char* caption;
        const char* host;
        const char* before;
        const char* after;
        Extraction extraction;
        Cell cell;
        ProgressOrder progress;
        bool clears;
    };
    using enum Extraction;
    constexpr auto show = ProgressOrder::ShowThenCount;
    constexpr auto count = ProgressOrder::CountThenShow;
    const char* ts = "/wsc2/Tscn_Rankings.html?template=tscnrank.htm&Button=Get+Report&Symbol=";
    const Row rows[17] = {
        {0, "CN - Momentum", "investor.cnet.com", "/investor/brokeragecenter/momentum-rating-single-company/0-9910-1087-0-",
         ".html", SingleCell, {14, 2, 2}, show, true},
        {1, "MW - Days since news", "www.marketwatch.com", "/tools/quotes/news.asp?symb=", "", DaysSinceNews, {}, show,
         true},
        {2, "TS - ST Growth", "www.telescan.com", ts, "", SingleCell, {12, 6, 2}, show, true},
        {3, "TS - ST Value", "www.telescan.com", ts, "", SingleCell, {12, 8, 2}, show, true},
        {4, "TS - ST Tech", "www.telescan.com", ts, "", SingleCell, {12, 10, 2}, show, true},
        {9, "TS - Analyst", "www.telescan.com", ts, "", SingleCell, {12, 12, 2}, show, true},
        {10, "TS - Insider", "www.telescan.com", ts, "", SingleCell, {12, 13, 2}, show, true},
        {11, "TS - Fundamental", "www.telescan.com", ts, "", SingleCell, {12, 14, 2}, show, true},
        {12, "TS - Momentum", "www.telescan.com", ts, "", SingleCell, {12, 15, 2}, show, true},
        {13, "TS - Volume Rank", "www.telescan.com", ts, "", SingleCell, {12, 16, 2}, show, true},
        {14, "TS - All Rank Increase", "www.telescan.com", ts, "", RankChange, {}, count, false},
        {5, "BC - Overall Perf.", "www.barchart.com", "/performance.htx?sym=", "", SingleCell, {11, 2, 4}, show, true},
        {6, "FB - Fund Count", "www.forbes.com", "/finance/mktguideapps/compinfo/CoInFundHold.jhtml?tkr=", "",
         FundCount, {}, count, false},
        {8, "VL - Guru Analysis", "www.validea.com", "/stocks/guruanalysis.asp?ticker=", "", GuruAverage, {}, count,
         false},
        {7, "BC - Buy/Sell Average", "www.barchart.com", "/texpert.asp?sym=", "", SingleCell, {10, 28, 2}, show, true},
        {15, "IBD - SmartSelect", "www.investors.com", "/SmartSelect/SmartSelect.asp?x=", "", SmartSelect, {}, count,
         false},
        {16, "ZK - Buy/Sell Rank", "my.zacks.com", "/reports/reports.php3?HLITE1=6699BC&HLITE2=DEDEC5&ticker=",
         "&session=TMP.QORVENT&type=20", Broker, {}, count, false},
    };
    for (std::size_t i = 0; i < 17; ++i) {
        const Row& want = rows[i];
        const RankSource& got = rankSources()[i];
        SCOPED_TRACE(want.caption);
        EXPECT_EQ(rankBoxOf(got.name), want.index);
        EXPECT_EQ(got.caption, want.caption);
        EXPECT_EQ(got.before, "http://" + std::string(want.host) + std::string(want.before));
        EXPECT_EQ(got.after, want.after);
        EXPECT_EQ(got.extraction, want.extraction);
        if (want.extraction == SingleCell) {
            EXPECT_EQ(got.cell.table, want.cell.table);
            EXPECT_EQ(got.cell.row, want.cell.row);
            EXPECT_EQ(got.cell.column, want.cell.column);
        }
        EXPECT_EQ(got.progress, want.progress);
        EXPECT_EQ(got.clearsProgress, want.clears);
        EXPECT_EQ(got.precheck, want.index == 15);
    }
}

TEST_F(RankLoop, PointsAddedAndRecorded)
{
    tickers({"AAA", "BBB", "CCC", "DDD", "EEE"});
    momentum("AAA", "57");
    momentum("BBB", "12.9");
    momentum("CCC", "0");
    momentum("DDD", "-3");
    momentum("EEE", "");
    list[0].score = 3.0;
    run(0);
    EXPECT_EQ(score(1), "60");
    EXPECT_EQ(score(2), "12");
    EXPECT_EQ(score(3), "0");
    EXPECT_EQ(score(4), "0");
    EXPECT_EQ(score(5), "0");
    EXPECT_EQ(recordedCaption, "12") << "the last recorded score";
    EXPECT_EQ(tally.highest, 60);
    EXPECT_EQ(tally.lowest, 12);
    EXPECT_EQ(tally.sourcesRun, 1);
    EXPECT_EQ(progressLine, "") << "single-cell sources clear the progress text";
    EXPECT_EQ(shown, (std::vector<std::string>{" 5 to go... AAA", " 4 to go... BBB", " 3 to go... CCC",
                                                   " 2 to go... DDD", " 1 to go... EEE"}));
}

TEST_F(RankLoop, NoTickersOrCancelledOnEntry)
{
    tickers({});
    progressLine = "left";
    run(0);
    EXPECT_TRUE(web.requests().empty());
    EXPECT_EQ(progressLine, "");

    tickers({"AAA"});
    cancel = true;
    progressLine = "left";
    run(16);
    // The run's pages may already be asked for; none is taken.
    EXPECT_EQ(progressLine, "left") << "the broker source leaves the progress text";
    EXPECT_TRUE(untouched(1));
    run(0);
    EXPECT_EQ(progressLine, "");
    EXPECT_TRUE(shown.empty()) << "nothing was counted down";

    // A Cancel clicked before the loops begin (during the filter) is
    // forgotten, and so is one the run left behind.
    cancel = false;
    momentum("AAA", "3");
    stopping.cancel();
    run(0);
    EXPECT_EQ(score(1), "3");
    EXPECT_FALSE(stopping.cancelRequested());
}

TEST_F(RankLoop, AFailedPageEndsTheSource)
{
    tickers({"AAA", "BBB", "CCC", "DDD"});
    momentum("AAA", "5");
    web.setFault(address(0, "BBB"), simweb::Fault::NotFound);
    momentum("CCC", "7");
    run(0);
    EXPECT_EQ(score(1), "5");
    EXPECT_TRUE(untouched(2));
    EXPECT_TRUE(untouched(3));
    EXPECT_EQ(web.requests().size(), 2u);
    EXPECT_EQ(shown, (std::vector<std::string>{" 4 to go... AAA", " 3 to go... BBB"}));
}

TEST_F(RankLoop, CancelTakesEffectBetweenTickers)
{
    tickers({"AAA", "BBB", "CCC"});
    for (const char* t : {"AAA", "BBB", "CCC"})
        momentum(t, "9");
    web.setLatency(60);
    // Clicked while BBB's page is read (one page after another: asked for
    // only once the loop waits on it).
    std::jthread clicker([this](std::stop_token ran) {
        for (; !ran.stop_requested(); std::this_thread::sleep_for(std::chrono::milliseconds(1)))
            if (web.requests().size() == 2) {
                stopping.cancel();
                return;
            }
    });
    run(0);
    EXPECT_EQ(score(1), "9");
    EXPECT_EQ(score(2), "9") << "the ticker being read is finished";
    EXPECT_TRUE(untouched(3));
    EXPECT_EQ(web.requests().size(), 2u);
}

TEST_F(RankLoop, TickerTrimmedInTheAddressOnly)
{
    tickers({"  AAA "});
    momentum("AAA", "4");
    run(0);
    ASSERT_EQ(web.requests().size(), 1u);
    EXPECT_EQ(web.requests()[0], address(0, "AAA"));
    EXPECT_EQ(shown, std::vector<std::string>{" 1 to go...   AAA "});
    EXPECT_EQ(score(1), "4");
}

TEST_F(RankLoop, TickersArePercentEncodedInTheAddress)
{
    tickers({"A&B", "BRK.B"});
    run(0);
    ASSERT_GE(web.requests().size(), 1u);
    EXPECT_EQ(web.requests()[0], address(0, "A%26B"));
}

TEST_F(RankLoop, ARecordedLossLowersTheBound)
{
    tickers({"AAA"});
    Cells cells;
    for (int r : {6, 8, 10, 12, 13, 14, 15, 16}) {
        cells[{12, r, 2}] = r == 6 ? "20" : "24";
        cells[{12, r, 3}] = "24";
    }
    web.setPage(address(14, "AAA"), cellsPage(cells));
    run(14);
    EXPECT_EQ(score(1), "-1");
    EXPECT_EQ(tally.lowest, -1);
    EXPECT_EQ(tally.highest, -1);
    EXPECT_EQ(recordedCaption, "-1");
    EXPECT_EQ(shown, std::vector<std::string>{" 0 to go... AAA"}) << "counted down before it is shown";
    EXPECT_EQ(progressLine, " 0 to go... AAA") << "left standing";
}

TEST_F(RankLoop, SmartSelectSkipsIneligibleTickersWithoutAPage)
{
    tickers({"brk-b", "ABCDE", "abc", "A*B"});
    web.setPage(address(15, "C3E4G5"),
                cellsPage({{{1, 5, 2}, "90"}, {{1, 5, 6}, "80"}, {{1, 5, 10}, "A"}, {{1, 5, 14}, "B"}, {{1, 5, 18}, "C"}}));
    run(15);
    EXPECT_EQ(web.requests(), std::vector<std::string>{address(15, "C3E4G5")});
    EXPECT_EQ(shown, std::vector<std::string>{" 3 to go... abc"})
        << "shown as held; only the ticker asked for is counted down";
    EXPECT_EQ(score(3), "82");
    EXPECT_TRUE(untouched(1));
    EXPECT_TRUE(untouched(2));
    EXPECT_TRUE(untouched(4));
}

TEST_F(RankLoop, FundCountFollowsNextPages)
{
    tickers({"AAA"});
    const std::string first = address(6, "AAA");
    const std::string second = first + "&page=2";
    Cells p1, p2;
    for (int r = 3; r <= 51; r += 2)
        p1[{11, r, 3}] = "1,000";
    p1[{11, 53, 2}] = "<a href=\"" + second + "\">Next 25</a>";
    p2[{11, 3, 3}] = "500";
    p2[{11, 5, 3}] = "20";
    p2[{11, 7, 3}] = "n/a";
    p2[{11, 53, 2}] = "<a href=\"" + first + "\">Next 25</a>";  // back to the start
    web.setPage(first, cellsPage(p1));
    web.setPage(second, cellsPage(p2));
    run(6);
    EXPECT_EQ(score(1), "27");
    EXPECT_EQ(recordedCaption, "27");
    EXPECT_EQ(web.requests(), (std::vector<std::string>{first, second}));
    EXPECT_EQ(reportOf(tally), "1 rated, 0 no points, 0 skipped, 0 not reached, 2 pages | Rated all 1.");

    // A further page that fails ends the walk with the holdings it has.
    web.setFault(second, simweb::Fault::ServerError);
    tickers({"AAA"});
    run(6);
    EXPECT_EQ(score(1), "25");
    EXPECT_EQ(reportOf(tally), "1 rated, 0 no points, 0 skipped, 0 not reached, 1 pages | Rated all 1.");
}

} // namespace

TEST_F(RankLoop, TheReportSaysWhereASourceStoppedAndWhy)
{
    lookahead = 0;
    web.setLatency(0);
    const std::initializer_list<const char*> four = {"AAA", "BBB", "CCC", "DDD"};
    const auto rate = [&](simweb::Fault fault) {
        web.clearFaults();
        tickers(four);
        for (const char* t : four)
            momentum(t, std::string(t) == "CCC" ? "n/a" : "5");
        if (fault != simweb::Fault::None)
            web.setFault(address(0, "BBB"), fault);
        run(0);
        return reportOf(tally);
    };
    // A cell that is no number adds 0: the ticker is rated all the same.
    EXPECT_EQ(rate(simweb::Fault::None), "4 rated, 0 no points, 0 skipped, 0 not reached, 4 pages | Rated all 4.");
    EXPECT_EQ(rate(simweb::Fault::ServerError),
              "1 rated, 0 no points, 0 skipped, 3 not reached, 1 pages | "
              "Rated 1 of 4; stopped at BBB: the page answered 500.");
    EXPECT_EQ(rate(simweb::Fault::UnavailableOnce),
              "4 rated, 0 no points, 0 skipped, 0 not reached, 4 pages | Rated all 4.")
        << "a failure that passes is asked again, and the source goes on";
    EXPECT_EQ(rate(simweb::Fault::Unavailable),
              "1 rated, 0 no points, 0 skipped, 3 not reached, 1 pages | "
              "Rated 1 of 4; stopped at BBB: the page answered 503, retried twice.");
    cancel = true;
    EXPECT_EQ(rate(simweb::Fault::None),
              "0 rated, 0 no points, 0 skipped, 4 not reached, 0 pages | Rated 0 of 4; stopped at AAA: Cancel.");
    cancel = false;

    // SmartSelect makes no address for three of these, and has no grades
    // for the fourth.
    tickers({"brk-b", "ABCDE", "abc", "A*B"});
    web.setPage(address(15, "C3E4G5"), cellsPage({}, "not currently rated"));
    run(15);
    EXPECT_EQ(reportOf(tally), "0 rated, 1 no points, 3 skipped, 0 not reached, 1 pages | Rated 0 of 4.");
}
