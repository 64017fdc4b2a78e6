// Get Lists and the list walker against the simulated web.
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "app/form1.h"
#include "lists/listsources.h"
#include "web/fetchpool.h"
#include "tests/listcaptions.h"
#include "testsupport.h"

using namespace veltrop;
using veltrop::testing::WebFormTest;
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

class ListWalk : public WebFormTest {
protected:
    std::function<void()> duringWait;

    void SetUp() override
    {
        form.setWaitHook([this] {
            if (duringWait)
                duringWait();
        });
        WebFormTest::SetUp();
    }

    // One table of tickers (table 1, one header row, column 1), paged through
    // the first cell of table 2.
    void walk(const std::string& url, bool paging = true)
    {
        form.listurl = url;
        form.celltable = 1;
        form.cellrow = 1;
        form.cellcolumn = 1;
        form.rowstep = 1;
        form.pagingon = paging;
        form.nexttable = 2;
        form.nextrow = 1;
        form.nextcolumn = 1;
        form.nextlinktext = "Next Page";
        form.getlists();
    }

    std::vector<std::string> taken() const
    {
        std::vector<std::string> v;
        for (int i = 1; i <= form.tickercount; ++i)
            v.push_back(cellText(form.tickertable[i][0]));
        return v;
    }

    void tickOnly(std::initializer_list<int> boxes)
    {
        for (auto& [index, box] : form.List)
            box.value = 0;
        for (int b : boxes)
            form.List[b].value = 1;
    }
};

TEST_F(ListWalk, PagesAreReadUntilTheFirstEmptyCellAndFollowed)
{
    web.setPage(base + "p1", listPage(1, 1, 1, {"AA", "BB", ""}, nextLink("p2")));
    web.setPage(base + "p2", listPage(1, 1, 1, {"CC"}));
    walk(base + "p1");
    EXPECT_EQ(taken(), (std::vector<std::string>{"AA", "BB", "CC"}));
    EXPECT_EQ(form.getbutton.caption, "Get Lists");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form.nextpageurl, base + "p2") << "the relative link is resolved";
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
    form.rowstep = 2;
    form.listurl = base + "s2";
    form.celltable = 1;
    form.cellrow = 1;
    form.cellcolumn = 1;
    form.pagingon = false;
    form.getlists();
    EXPECT_EQ(taken(), (std::vector<std::string>{"A1", "A2", "A3"}));
    EXPECT_EQ(form.loopindex, 7) << "row 8 is the first empty one";
}

TEST_F(ListWalk, APageGivesAtMost500RowsThenTheLimitStopsTheWalk)
{
    web.setPage(base + "big", listPage(1, 1, 1, tickers("T", 520), nextLink("more")));
    web.setPage(base + "more", listPage(1, 1, 1, {"LATE"}));
    walk(base + "big");
    EXPECT_EQ(form.tickercount, 500);
    EXPECT_EQ(cellText(form.tickertable[500][0]), "T500");
    ASSERT_EQ(dialogs.messages.size(), 1u) << "the next page offers the 501st";
    EXPECT_EQ(dialogs.messages[0], "Only 500 tickers allowed");
    EXPECT_EQ(form.getbutton.caption, "Get Lists");
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
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ListWalk, AFirstPageThatFailsIsReported)
{
    web.setFault(base + "down", simweb::Fault::Drop);
    form.getbutton.caption = "XYZ";
    walk(base + "down");
    EXPECT_EQ(form.tickercount, 0);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Couldn't connect. Clear list and try again.");
    EXPECT_EQ(form.getbutton.caption, "Get Lists");
}

TEST_F(ListWalk, ALinkBackToAPageAlreadyReadEndsTheWalk)
{
    web.setPage(base + "l1", listPage(1, 1, 1, {"A"}, nextLink("l2")));
    web.setPage(base + "l2", listPage(1, 1, 1, {"B"}, nextLink("l1")));
    walk(base + "l1");
    EXPECT_EQ(taken(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(web.requests().size(), 2u);
}

TEST_F(ListWalk, AnEndlessChainStopsAfterAHundredPages)
{
    web.setFault("http://www.clearstation.com/cgi-bin/drill_event", simweb::Fault::EndlessPaging);
    tickOnly({0});
    form.click(Command::GetLists);
    EXPECT_EQ(web.requests().size(), 100u);
    EXPECT_GT(form.tickercount, 0);
    EXPECT_EQ(form.Label3.caption, "Idle...");
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

using GetLists = ListWalk;

TEST_F(GetLists, NothingTickedFetchesNothing)
{
    form.click(Command::GetLists);
    EXPECT_TRUE(web.requests().empty());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "No Tickers selected");
    EXPECT_TRUE(form.getbutton.enabled);
    EXPECT_TRUE(form.loadlistbutton.enabled);
    EXPECT_FALSE(form.savelistbutton.enabled);
    EXPECT_FALSE(form.rankbutton.enabled);
    EXPECT_EQ(form.Label3.caption, "Idle...");
}

TEST_F(GetLists, EveryPageFailingReportsEachThenNoTickers)
{
    web.setFault("http://", simweb::Fault::NotFound);
    tickOnly({3, 8});
    form.click(Command::GetLists);
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"Couldn't connect. Clear list and try again.",
                                                          "Couldn't connect. Clear list and try again.",
                                                          "No Tickers selected"}));
    EXPECT_TRUE(form.getbutton.enabled);
    EXPECT_FALSE(form.savelistbutton.enabled);
    EXPECT_EQ(form.tickercount, 0);
}

TEST_F(GetLists, SourcesAreReadInTheirFixedOrderAndDuplicatesKept)
{
    web.setPage(nasdaq, listPage(11, 1, 2, {"AAA", "BBB", "AAA"}));
    web.setPage(signal, listPage(11, 1, 1, {"BBB"}));
    tickOnly({8, 3});  // Nasdaq comes before the Barchart signals
    form.click(Command::GetLists);
    // Both first pages are asked for at once; the tickers keep list order.
    std::vector<std::string> requests = web.requests();
    std::sort(requests.begin(), requests.end());
    EXPECT_EQ(requests, (std::vector<std::string>{signal, nasdaq}));
    EXPECT_EQ(taken(), (std::vector<std::string>{"AAA", "BBB", "AAA", "BBB"}));
    EXPECT_EQ(form.Label1.caption, " 4 tickers found");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(form.getbutton.enabled);
    EXPECT_TRUE(form.loadlistbutton.enabled);
    EXPECT_TRUE(form.savelistbutton.enabled);
    EXPECT_TRUE(form.clearbutton.enabled);
    EXPECT_TRUE(form.rankbutton.enabled);
    EXPECT_EQ(form.getbutton.caption, "Get Lists");
    EXPECT_EQ(form.Label3.caption, "Idle...");
}

TEST_F(GetLists, OneTickerStillUsesThePlural)
{
    web.setPage(nasdaq, listPage(11, 1, 2, {"ONE"}));
    tickOnly({3});
    form.click(Command::GetLists);
    EXPECT_EQ(form.Label1.caption, " 1 tickers found");
}

TEST_F(GetLists, GreyedBoxesDoNotCount)
{
    tickOnly({});
    form.List[3].value = 2;
    form.click(Command::GetLists);
    EXPECT_TRUE(web.requests().empty());
}

TEST_F(GetLists, MoreThan500AcrossSourcesKeepsTheFirst500)
{
    web.setPage(nasdaq, listPage(11, 1, 2, tickers("N", 450)));
    web.setPage(signal, listPage(11, 1, 1, tickers("B", 100)));
    tickOnly({3, 8, 2});  // Nasdaq, Barchart signals, then the S&P 500
    form.click(Command::GetLists);
    EXPECT_EQ(form.tickercount, 500);
    EXPECT_EQ(cellText(form.tickertable[450][0]), "N450");
    EXPECT_EQ(cellText(form.tickertable[451][0]), "B1");
    EXPECT_EQ(cellText(form.tickertable[500][0]), "B50");
    // The source that first offers a 501st ticker, and every later one.
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"Only 500 tickers allowed",
                                                          "Only 500 tickers allowed"}));
    EXPECT_EQ(form.Label1.caption, " 500 tickers found");
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
    Form1 reading(slow, std::make_unique<FetchPool>());
    reading.Form_Load();
    for (auto& [index, box] : reading.List)
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
    for (auto& [index, box] : form.List) {
        RecordingDialogs fresh;
        Form1 one(fresh);
        one.Form_Load();
        one.List[index].value = 1;
        one.click(Command::GetLists);
        EXPECT_GT(one.tickercount, 0) << "List box " << index;
        EXPECT_TRUE(fresh.messages.empty()) << "List box " << index << ": " << fresh.messages.front();
        for (int i = 1; i <= one.tickercount; ++i) {
            std::string t = cellText(one.tickertable[i][0]);
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
        statusDuringRun = form.Label3.caption;
        testRan = form.click(Command::Test);
        helpRan = form.click(Command::Help);
        cancelRan = form.click(Command::Cancel);
    };
    form.click(Command::GetLists);
    duringWait = nullptr;

    EXPECT_EQ(statusDuringRun, "Processing lists....");
    EXPECT_FALSE(testRan);
    EXPECT_FALSE(helpRan);
    EXPECT_TRUE(cancelRan);
    EXPECT_TRUE(form.cancelflag);
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
    duringWait = [&] { form.List[8].value = 1; };
    form.click(Command::GetLists);
    duringWait = nullptr;
    EXPECT_EQ(taken(), (std::vector<std::string>{"AAA", "BBB"}));
}

TEST_F(GetLists, ClosingDuringARunEndsItWithoutMessages)
{
    tickOnly({3, 8, 2});
    web.setFault("http://", simweb::Fault::Stall);
    duringWait = [&] { form.requestClose(); };
    auto start = std::chrono::steady_clock::now();
    form.click(Command::GetLists);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(form.click(Command::Help)) << "no command starts once the window closes";
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
        Form1 fresh(recorded);
        Seen seen;
        fresh.setWaitHook([&] {
            if (seen.captions.empty() || seen.captions.back() != fresh.getbutton.caption)
                seen.captions.push_back(fresh.getbutton.caption);
        });
        fresh.Form_Load();
        fresh.lookahead = lookahead;
        for (auto& [index, box] : fresh.List)
            box.value = 1;
        fresh.click(Command::GetLists);
        for (int i = 1; i <= fresh.tickercount; ++i)
            seen.table.push_back(cellText(fresh.tickertable[i][0]));
        seen.messages = recorded.messages;
        seen.labels = fresh.Label1.caption + "|" + fresh.Label3.caption + "|" + fresh.getbutton.caption;
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
    for (const ListSource& source : listSources())
        lists.push_back({source.host, source.path, source.query ? source.query : ""});
    const std::vector<std::string> expected = veltrop::testing::getListsCaptions(lists);
    ASSERT_EQ(expected.size(), 8u) << "four lists that page come before the table fills";
    web.setLatency(20);
    for (int lookahead : {0, 1}) {
        SCOPED_TRACE(lookahead);
        RecordingDialogs recorded;
        Form1 fresh(recorded);
        std::vector<std::string> captions;
        fresh.setWaitHook([&] {
            if (captions.empty() || captions.back() != fresh.getbutton.caption)
                captions.push_back(fresh.getbutton.caption);
        });
        fresh.Form_Load();
        captions.clear();
        fresh.lookahead = lookahead;
        for (auto& [index, box] : fresh.List)
            box.value = 1;
        fresh.click(Command::GetLists);
        EXPECT_EQ(captions, expected);
    }
}
