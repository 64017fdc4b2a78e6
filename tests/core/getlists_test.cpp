// Get Lists and the list walker against the simulated web.
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "app/windowcontroller.h"
#include "lists/getlists.h"
#include "lists/listsources.h"
#include "web/fetchpool.h"
#include "tests/listcaptions.h"
#include "tools/simweb/pages.h"
#include "testsupport.h"

using namespace veltrop;
using veltrop::testing::ControllerTest;
using veltrop::testing::WebUnitTest;
using veltrop::testing::listPage;
using veltrop::testing::RecordingDialogs;

namespace {

const std::string base = "http://www.clearstation.com/walk/";

std::vector<std::string> tickers(const std::string& prefix, int n)
{
    std::vector<std::string> v;
    for (int i = 1; i <= n; ++i)
        v.push_back(prefix + std::to_string(i));
    return v;
}

std::string nextLink(const std::string& href, const std::string& text = "Next Page")
{
    return "<table><tr><td><a href=\"" + href + "\">" + text + "</a></td></tr></table>";
}

// One list, walked by Get Lists on its own: table 1, one header row, the
// tickers in column 1, paged through the first cell of table 2.
class ListWalk : public WebUnitTest, public ListsObserver {
protected:
    TickerList list;
    std::string caption = "Get Lists";  // the button's, as the window shows it

    bool ticked(const ListSource&) override { return true; }
    void pageTaken(const std::string& ticker) override { caption = ticker; }
    void listEnded() override { caption = "Get Lists"; }
    void message(const std::string& text) override { messages.push_back(text); }

    void walk(const std::string& url, bool paging = true, int step = 1)
    {
        ListSource source;
        source.caption = "Walk";
        source.url = url;
        source.table = source.row = source.column = 1;
        source.step = step;
        source.paging = paging;
        source.nextTable = 2;
        source.nextRow = source.nextColumn = 1;
        source.nextText = "Next Page";
        const std::vector<ListReport> reports = getLists(access(), {&source, 1}, list, *this);
        report = reports.size() == 1 ? reports[0].summary() : "reports: " + std::to_string(reports.size());
    }
    std::string report;  // the walk's report line

    std::vector<std::string> taken() const
    {
        std::vector<std::string> v;
        for (const ListedTicker& listed : list)
            v.push_back(listed.ticker);
        return v;
    }
};

// Get Lists through the window, over the built-in lists.
class GetLists : public ControllerTest {
protected:
    std::function<void()> duringWait;

    void SetUp() override
    {
        window.setTurnHook([this] {
            if (duringWait)
                duringWait();
        });
        ControllerTest::SetUp();
    }

    std::vector<std::string> taken() const
    {
        std::vector<std::string> v;
        for (int i = 1; i <= window.tickerList().size(); ++i)
            v.push_back(window.tickerList()[i - 1].ticker);
        return v;
    }

    void tickOnly(std::initializer_list<int> boxes)
    {
        for (auto& [index, box] : window.listBoxes)
            box.value = 0;
        for (int b : boxes)
            window.listBoxes[b].value = 1;
    }
};

TEST_F(ListWalk, PagesAreReadUntilTheFirstEmptyCellAndFollowed)
{
    web.setPage(base + "p1", listPage(1, 1, 1, {"AA", "BB", ""}, nextLink("p2")));
    web.setPage(base + "p2", listPage(1, 1, 1, {"CC"}));
    walk(base + "p1");
    EXPECT_EQ(taken(), (std::vector<std::string>{"AA", "BB", "CC"}));
    EXPECT_EQ(report, "Took 3 tickers from 2 pages.");
    EXPECT_EQ(caption, "Get Lists");
    EXPECT_TRUE(messages.empty());
}

TEST_F(ListWalk, AnEmptyFirstCellAddsNothingButPagingGoesOn)
{
    web.setPage(base + "p1", listPage(1, 1, 1, {""}, nextLink("p2")));
    web.setPage(base + "p2", listPage(1, 1, 1, {"ZZ"}));
    walk(base + "p1");
    EXPECT_EQ(taken(), (std::vector<std::string>{"ZZ"}));
}

TEST_F(ListWalk, StepTwoReadsEveryOtherRow)
{
    // Each data row is followed by a detail row, as the real-time analysis
    // pages have them.
    std::string html = "<table><tr><th>h</th></tr>"
                       "<tr><td>A1</td></tr><tr><td>detail</td></tr>"
                       "<tr><td>A2</td></tr><tr><td>detail</td></tr>"
                       "<tr><td>A3</td></tr><tr><td>detail</td></tr></table>";
    web.setPage(base + "s2", html);
    walk(base + "s2", false, 2);
    EXPECT_EQ(taken(), (std::vector<std::string>{"A1", "A2", "A3"}));
}

TEST_F(ListWalk, APageGivesAtMost500RowsThenTheLimitStopsTheWalk)
{
    web.setPage(base + "big", listPage(1, 1, 1, tickers("T", 520), nextLink("more")));
    web.setPage(base + "more", listPage(1, 1, 1, {"LATE"}));
    walk(base + "big");
    EXPECT_EQ(list.size(), 500);
    EXPECT_EQ(list[499].ticker, "T500");
    ASSERT_EQ(messages.size(), 1u) << "the next page offers the 501st";
    EXPECT_EQ(messages[0], "Only 500 tickers allowed");
    EXPECT_EQ(caption, "Get Lists");
    EXPECT_EQ(report, "Took 500 tickers from 2 pages; stopped on page 2: the table holds 500 tickers.");
}

TEST_F(ListWalk, TheNextLinkIsFoundInAnyLetterCaseByTheCellsWholeText)
{
    web.setPage(base + "c1", listPage(1, 1, 1, {"A"}, nextLink("c2", "more: next page &gt;&gt;")));
    web.setPage(base + "c2", listPage(1, 1, 1, {"B"}));
    walk(base + "c1");
    EXPECT_EQ(taken(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(ListWalk, ANextPageThatFailsEndsTheSourceQuietly)
{
    web.setPage(base + "f1", listPage(1, 1, 1, {"A", "B"}, nextLink("f2")));
    web.setFault(base + "f2", simweb::Fault::NotFound);
    walk(base + "f1");
    EXPECT_EQ(taken(), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(report, "Took 2 tickers from 1 page; stopped on page 2: the page answered 404.");
}

TEST_F(ListWalk, AFirstPageThatFailsIsReported)
{
    web.setFault(base + "down", simweb::Fault::Drop);
    caption = "XYZ";
    walk(base + "down");
    EXPECT_TRUE(list.empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Couldn't connect. Clear list and try again.");
    EXPECT_EQ(caption, "Get Lists");
    EXPECT_EQ(report, "Took 0 tickers from 0 pages; stopped on page 1: the connection broke off, retried twice.");
}

TEST_F(ListWalk, ALinkBackToAPageAlreadyReadEndsTheWalk)
{
    web.setPage(base + "l1", listPage(1, 1, 1, {"A"}, nextLink("l2")));
    web.setPage(base + "l2", listPage(1, 1, 1, {"B"}, nextLink("l1")));
    walk(base + "l1");
    EXPECT_EQ(taken(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(web.requests().size(), 2u);
}

TEST_F(GetLists, AnEndlessChainStopsAfterAHundredPages)
{
    web.setFault("http://www.clearstation.com/cgi-bin/drill_event", simweb::Fault::EndlessPaging);
    tickOnly({0});
    window.click(Command::GetLists);
    EXPECT_EQ(web.requests().size(), 100u);
    EXPECT_GT(window.tickerList().size(), 0);
    EXPECT_EQ(window.statusLabel.caption, "Idle...");
}

TEST_F(ListWalk, TickersAreTakenAsGivenDuplicatesIncluded)
{
    web.setPage(base + "d", listPage(1, 1, 1, {"msft", "MSFT", "msft", "A&amp;B"}));
    walk(base + "d", false);
    EXPECT_EQ(taken(), (std::vector<std::string>{"msft", "MSFT", "msft", "A&B"}));
}

// ---- Get Lists --------------------------------------------------------------

const std::string nasdaq = "http://www.nasdaq.com/dynamic/nasdaq100_activity.stm";
const std::string signal = "http://www.barchart.com/sigtop.htx?start=all";
const std::string sp500 = "http://www.spglobal.com/indexmainglobal500_data.html";

TEST_F(GetLists, NothingTickedFetchesNothing)
{
    window.click(Command::GetLists);
    EXPECT_TRUE(web.requests().empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "No Tickers selected");
    EXPECT_TRUE(window.getListsButton.enabled);
    EXPECT_TRUE(window.loadListButton.enabled);
    EXPECT_FALSE(window.saveListButton.enabled);
    EXPECT_FALSE(window.rankListsButton.enabled);
    EXPECT_EQ(window.statusLabel.caption, "Idle...");
}

TEST_F(GetLists, EveryPageFailingReportsEachThenNoTickers)
{
    web.setFault("http://", simweb::Fault::NotFound);
    tickOnly({3, 8});
    window.click(Command::GetLists);
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"Couldn't connect. Clear list and try again.",
                                                          "Couldn't connect. Clear list and try again.",
                                                          "No Tickers selected"}));
    EXPECT_TRUE(window.getListsButton.enabled);
    EXPECT_FALSE(window.saveListButton.enabled);
    EXPECT_EQ(window.tickerList().size(), 0);
}

TEST_F(GetLists, SourcesAreReadInTheirFixedOrderAndDuplicatesKept)
{
    web.setPage(nasdaq, listPage(11, 1, 2, {"AAA", "BBB", "AAA"}));
    web.setPage(signal, listPage(11, 1, 1, {"BBB"}));
    tickOnly({8, 3});  // Nasdaq comes before the Barchart signals
    window.click(Command::GetLists);
    // Both first pages are asked for at once; the tickers keep list order.
    std::vector<std::string> requests = web.requests();
    std::sort(requests.begin(), requests.end());
    EXPECT_EQ(requests, (std::vector<std::string>{signal, nasdaq}));
    EXPECT_EQ(taken(), (std::vector<std::string>{"AAA", "BBB", "AAA", "BBB"}));
    EXPECT_EQ(window.tickersFoundLabel.caption, " 4 tickers found");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(window.getListsButton.enabled);
    EXPECT_TRUE(window.loadListButton.enabled);
    EXPECT_TRUE(window.saveListButton.enabled);
    EXPECT_TRUE(window.clearAllButton.enabled);
    EXPECT_TRUE(window.rankListsButton.enabled);
    EXPECT_EQ(window.getListsButton.caption, "Get Lists");
    EXPECT_EQ(window.statusLabel.caption, "Idle...");
}

TEST_F(GetLists, OneTickerStillUsesThePlural)
{
    web.setPage(nasdaq, listPage(11, 1, 2, {"ONE"}));
    tickOnly({3});
    window.click(Command::GetLists);
    EXPECT_EQ(window.tickersFoundLabel.caption, " 1 tickers found");
}

TEST_F(GetLists, GreyedBoxesDoNotCount)
{
    tickOnly({});
    window.listBoxes[3].value = 2;
    window.click(Command::GetLists);
    EXPECT_TRUE(web.requests().empty());
}

TEST_F(GetLists, MoreThan500AcrossSourcesKeepsTheFirst500)
{
    web.setPage(nasdaq, listPage(11, 1, 2, tickers("N", 450)));
    web.setPage(signal, listPage(11, 1, 1, tickers("B", 100)));
    tickOnly({3, 8, 2});  // Nasdaq, Barchart signals, then the S&P 500
    window.click(Command::GetLists);
    EXPECT_EQ(window.tickerList().size(), 500);
    EXPECT_EQ(window.tickerList()[449].ticker, "N450");
    EXPECT_EQ(window.tickerList()[450].ticker, "B1");
    EXPECT_EQ(window.tickerList()[499].ticker, "B50");
    // The source that first offers a 501st ticker, and every later one.
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"Only 500 tickers allowed",
                                                          "Only 500 tickers allowed"}));
    EXPECT_EQ(window.tickersFoundLabel.caption, " 500 tickers found");
}

TEST_F(GetLists, OnceTheTableIsFullNoNextPageIsAskedFor)
{
    // The Nasdaq list fills the table while a later list that never ends
    // (New 52-Week Highs) is being read ahead; its first ticker is the
    // 501st, and its next pages stop there, not only once the message is
    // closed.
    const std::string highs = "http://www.clearstation.com/cgi-bin/drill_event?Event=P";
    web.setPage(nasdaq, listPage(11, 1, 2, tickers("N", 500)));
    web.setFault(highs, simweb::Fault::EndlessPaging);
    web.setLatency(20);
    tickOnly({3, 7});
    std::size_t nextPagesBeforeMessage = 0;
    struct SlowReader : RecordingDialogs {
        std::function<void()> reading;
        void message(const std::string& text) override
        {
            RecordingDialogs::message(text);
            reading();
        }
    };
    SlowReader slow;
    const auto nextPages = [&] {
        const std::vector<std::string> requests = web.requests();
        return std::size_t(std::count_if(requests.begin(), requests.end(), [&](const std::string& url) {
            return url.starts_with(highs) && url.find("Page=") != std::string::npos;
        }));
    };
    slow.reading = [&] {
        if (nextPagesBeforeMessage == 0)
            nextPagesBeforeMessage = nextPages() + 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
    WindowController reading(slow, std::make_unique<FetchPool>());
    reading.load();
    for (auto& [index, box] : reading.listBoxes)
        box.value = index == 3 || index == 7;
    reading.click(Command::GetLists);
    EXPECT_EQ(slow.messages, std::vector<std::string>{"Only 500 tickers allowed"});
    // One may have been on its way to the site when the table filled.
    EXPECT_LE(nextPages(), nextPagesBeforeMessage) << "next pages were read while the message showed";
    EXPECT_LE(nextPages(), 3u);
}

TEST_F(GetLists, EveryBuiltInSourceGivesTickers)
{
    // Each source alone, through the real page layouts of the simulated web.
    for (auto& [index, box] : window.listBoxes) {
        RecordingDialogs fresh;
        WindowController one(fresh);
        one.load();
        one.listBoxes[index].value = 1;
        one.click(Command::GetLists);
        EXPECT_GT(one.tickerList().size(), 0) << "List box " << index;
        EXPECT_TRUE(fresh.messages.empty()) << "List box " << index << ": " << fresh.messages.front();
        for (int i = 1; i <= one.tickerList().size(); ++i) {
            std::string t = one.tickerList()[i - 1].ticker;
            ASSERT_FALSE(t.empty());
            ASSERT_LE(t.size(), 6u) << "List box " << index << " row " << i << ": " << t;
        }
    }
}

TEST_F(GetLists, OnlyCancelActsWhileAPageLoads)
{
    web.setPage(nasdaq, listPage(11, 1, 2, {"AAA"}));
    web.setLatency(150);
    tickOnly({3});
    bool testRan = true, helpRan = true, cancelRan = false;
    std::string statusDuringRun;
    duringWait = [&] {
        statusDuringRun = window.statusLabel.caption;
        testRan = window.click(Command::Test);
        helpRan = window.click(Command::Help);
        cancelRan = window.click(Command::Cancel);
    };
    window.click(Command::GetLists);
    duringWait = nullptr;

    EXPECT_EQ(statusDuringRun, "Processing lists....");
    EXPECT_FALSE(testRan);
    EXPECT_FALSE(helpRan);
    EXPECT_TRUE(cancelRan);
    EXPECT_TRUE(window.cancelRequested());
    EXPECT_EQ(web.requests(), (std::vector<std::string>{nasdaq})) << "no quote page was read";
    EXPECT_EQ(taken(), (std::vector<std::string>{"AAA"}));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(GetLists, ABoxTickedWhileAnEarlierPageLoadsCountsForItsSource)
{
    web.setPage(nasdaq, listPage(11, 1, 2, {"AAA"}));
    web.setPage(signal, listPage(11, 1, 1, {"BBB"}));
    web.setLatency(150);
    tickOnly({3});
    duringWait = [&] { window.listBoxes[8].value = 1; };
    window.click(Command::GetLists);
    duringWait = nullptr;
    EXPECT_EQ(taken(), (std::vector<std::string>{"AAA", "BBB"}));
}

TEST_F(GetLists, ClosingDuringARunEndsItWithoutMessages)
{
    tickOnly({3, 8, 2});
    web.setFault("http://", simweb::Fault::Stall);
    duringWait = [&] { window.requestClose(); };
    auto start = std::chrono::steady_clock::now();
    window.click(Command::GetLists);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(window.click(Command::Help)) << "no command starts once the window closes";
}

} // namespace

TEST_F(GetLists, AheadTheWalkShowsWhatOnePageAfterAnotherShows)
{
    // Every list, a first page that fails, a next page that fails, and the
    // 500-ticker stop.
    web.setFault(nasdaq, simweb::Fault::NotFound);
    web.setFault("http://www.clearstation.com/cgi-bin/drill_event?Event=BreakOut&Page=2", simweb::Fault::ServerError);
    struct Seen {
        std::vector<std::string> table, messages, captions;
        std::string labels;
        bool operator==(const Seen&) const = default;
    };
    const auto run = [&](int lookahead) {
        RecordingDialogs recorded;
        WindowController fresh(recorded);
        Seen seen;
        fresh.setTurnHook([&] {
            if (seen.captions.empty() || seen.captions.back() != fresh.getListsButton.caption)
                seen.captions.push_back(fresh.getListsButton.caption);
        });
        fresh.load();
        fresh.setLookahead(lookahead);
        for (auto& [index, box] : fresh.listBoxes)
            box.value = 1;
        fresh.click(Command::GetLists);
        for (int i = 1; i <= fresh.tickerList().size(); ++i)
            seen.table.push_back(fresh.tickerList()[i - 1].ticker);
        seen.messages = recorded.messages;
        seen.labels = fresh.tickersFoundLabel.caption + "|" + fresh.statusLabel.caption + "|" + fresh.getListsButton.caption;
        return seen;
    };
    const Seen oneByOne = run(1);
    const Seen ahead = run(0);
    EXPECT_EQ(ahead, oneByOne);
    EXPECT_EQ(ahead.table.size(), 500u);
    EXPECT_EQ(ahead.messages.front(), "Couldn't connect. Clear list and try again.");
    EXPECT_EQ(ahead.messages.back(), "Only 500 tickers allowed");
}

TEST_F(GetLists, TheButtonShowsEachPageAsItComes)
{
    // While page p + 1 of a list loads, the button shows page p's last
    // ticker, read ahead or not; every list, so the table fills on the way.
    std::vector<veltrop::testing::ListAddress> lists;
    for (const ListSource& source : listSources()) {
        const simweb::UrlParts at = simweb::urlParts(source.url);
        lists.push_back({at.host, at.path, at.query});
    }
    const std::vector<std::string> expected = veltrop::testing::getListsCaptions(lists);
    ASSERT_EQ(expected.size(), 23u) << "one caption a page until the table fills";
    web.setLatency(20);
    for (int lookahead : {0, 1}) {
        SCOPED_TRACE(lookahead);
        RecordingDialogs recorded;
        WindowController fresh(recorded);
        std::vector<std::string> captions;
        fresh.setTurnHook([&] {
            if (captions.empty() || captions.back() != fresh.getListsButton.caption)
                captions.push_back(fresh.getListsButton.caption);
        });
        fresh.load();
        captions.clear();
        fresh.setLookahead(lookahead);
        for (auto& [index, box] : fresh.listBoxes)
            box.value = 1;
        fresh.click(Command::GetLists);
        EXPECT_EQ(captions, expected);
    }
}
