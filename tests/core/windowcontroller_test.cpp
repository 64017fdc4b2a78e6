// Start-up, Cancel, the thresholds and the small commands, without a display.
#include <gtest/gtest.h>

#include "app/windowcontroller.h"
#include "testsupport.h"

using namespace veltrop;
using veltrop::testing::press;
using veltrop::testing::ProxyRoute;
using veltrop::testing::RecordingDialogs;
using veltrop::testing::ControllerTest;

namespace {

class WindowControllerTest : public ControllerTest {
protected:
    void typePrice(const std::string& text)
    {
        window.priceLimitBox.text = text;
        window.priceLimitTyped();
    }
    void typeVolume(const std::string& text)
    {
        window.volumeLimitBox.text = text;
        window.volumeLimitTyped();
    }
};

TEST(StartUp, WithoutAConnectionWarnsOnceAndStartsNormally)
{
    const simweb::ClosedPort closed;
    ProxyRoute route(closed.proxyUrl());
    RecordingDialogs dialogs;
    WindowController window(dialogs);
    window.load();

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "No Web connection found.  Please connect to use the program");
    EXPECT_TRUE(window.getListsButton.enabled);
    EXPECT_TRUE(window.loadListButton.enabled);
    EXPECT_FALSE(window.saveListButton.enabled);
    EXPECT_EQ(window.limits().price, 5);
}

TEST_F(WindowControllerTest, StartStatesOfStateAndButtons)
{
    EXPECT_EQ(window.tickerList().size(), 0);
    EXPECT_FALSE(window.cancelRequested());
    EXPECT_EQ(window.limits().price, 5);
    EXPECT_EQ(window.limits().volume, 25000);
    EXPECT_EQ(window.statusLabel.caption, "Idle...");

    struct Row { Button* button; bool enabled; } rows[] = {
        {&window.getListsButton, true},       {&window.loadListButton, true}, {&window.cancelButton, true},
        {&window.helpButton, true},      {&window.testButton, true},       {&window.saveListButton, false},
        {&window.clearAllButton, false},    {&window.rankListsButton, false},    {&window.deleteBottomButton, false},
        {&window.opinionButton, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.button->enabled, r.enabled) << r.button->caption;

    EXPECT_EQ(window.resultsGrid.rows(), 2);
    EXPECT_EQ(window.resultsGrid.text(0, 0), "Ticker");
    EXPECT_EQ(window.resultsGrid.text(0, 1), "Rank");
    EXPECT_EQ(window.resultsGrid.colWidth(0), 1000);
    EXPECT_EQ(window.resultsGrid.colWidth(1), 3350);
    EXPECT_EQ(window.resultsGrid.colWidth(2), 0);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(WindowControllerTest, CancelOnlySetsTheFlagEvenWhenIdle)
{
    EXPECT_TRUE(window.click(Command::Cancel));
    EXPECT_TRUE(window.cancelRequested());
    EXPECT_EQ(window.statusLabel.caption, "Idle...");
    EXPECT_TRUE(window.getListsButton.enabled);
}

TEST_F(WindowControllerTest, PriceTypedDigitByDigitWarnsOnlyOutOfRange)
{
    typePrice("6");
    typePrice("60");
    EXPECT_TRUE(dialogs.messages.empty());
    typePrice("600");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Enter a number between 1 and 500");
    EXPECT_EQ(window.limits().price, 600) << "the out-of-range value is kept";
    EXPECT_EQ(window.priceLimitBox.text, "600") << "the box text is never changed";
}

TEST_F(WindowControllerTest, PriceTextsAndTheValuesTheyStore)
{
    struct Row {
        const char* text;
        Whole stored;
        bool warns;
    } rows[] = {
        {"", 0, true},        {"12abc", 12, false}, {" 7", 7, false},  {"2.5", 2, false},
        {"0.6", 1, false},    {"500", 500, false},  {"1", 1, false},   {"3.5", 4, false},
        {"501", 501, true},   {"-3", -3, true},     {"abc", 0, true},  {"0.4", 0, true},
    };
    for (const Row& r : rows) {
        dialogs.messages.clear();
        typePrice(r.text);
        EXPECT_EQ(window.limits().price, r.stored) << "text \"" << r.text << "\"";
        EXPECT_EQ(dialogs.messages.size(), r.warns ? 1u : 0u) << "text \"" << r.text << "\"";
    }
}

TEST_F(WindowControllerTest, VolumeRangeIsOneToFiftyMillion)
{
    struct Row {
        const char* text;
        Whole stored;
        bool warns;
    } rows[] = {
        {"50000000", 50000000, false}, {"1", 1, false},      {"50000001", 50000001, true},
        {"0", 0, true},                {"25000", 25000, false}, {"30,000", 30, false},
    };
    for (const Row& r : rows) {
        dialogs.messages.clear();
        typeVolume(r.text);
        EXPECT_EQ(window.limits().volume, r.stored) << "text \"" << r.text << "\"";
        ASSERT_EQ(dialogs.messages.size(), r.warns ? 1u : 0u) << "text \"" << r.text << "\"";
        if (r.warns) {
            EXPECT_EQ(dialogs.messages[0], "Enter a number between 1 and 50 million");
        }
    }
}

TEST_F(WindowControllerTest, NumbersTooLargeForTheirTypeWarnWithoutWrapping)
{
    typePrice("70000");  // beyond 16 bits
    EXPECT_EQ(window.limits().price, 70000);
    typeVolume("5000000000");  // beyond 32 bits
    EXPECT_EQ(window.limits().volume, 5000000000LL);
    typePrice("1e400");
    EXPECT_GT(window.limits().price, 500);
    EXPECT_EQ(dialogs.messages.size(), 3u);
}

TEST_F(WindowControllerTest, ClearAllCutsTheGridBackToTheHeaderAndOneEmptyRow)
{
    ResultsGrid& g = window.resultsGrid;
    RankedRows rows;
    for (int i = 1; i <= 10; ++i)
        rows.push_back({"T" + std::to_string(i), 100 - i, 17});
    g.showRanked(rows, "");
    g.setCurrent(10, 0);
    window.setTickerList({"KEEP", "T2", "T3", "T4", "T5", "T6", "T7", "T8", "T9", "T10"});
    window.clearAllButton.enabled = true;
    window.rankListsButton.enabled = window.deleteBottomButton.enabled = window.opinionButton.enabled = true;
    window.saveListButton.enabled = true;
    window.getListsButton.enabled = false;
    window.tickersFoundLabel.caption = " 10 tickers found";
    window.progressLabel.caption = " 10 tickers ranked";
    window.click(Command::Cancel);

    EXPECT_TRUE(window.click(Command::ClearAll));

    EXPECT_EQ(g.rows(), 2);
    EXPECT_EQ(g.text(0, 0), "Ticker");
    EXPECT_EQ(g.text(1, 0), "");
    EXPECT_EQ(g.picture(1, 1), "");
    EXPECT_EQ(g.text(1, 2), "");
    EXPECT_EQ(g.row(), 1);
    EXPECT_EQ(g.col(), 1);
    EXPECT_EQ(window.tickerList().size(), 0);
    EXPECT_TRUE(window.getListsButton.enabled);
    EXPECT_FALSE(window.clearAllButton.enabled);
    EXPECT_FALSE(window.rankListsButton.enabled);
    EXPECT_FALSE(window.deleteBottomButton.enabled);
    EXPECT_FALSE(window.saveListButton.enabled);
    EXPECT_FALSE(window.opinionButton.enabled);
    EXPECT_TRUE(window.loadListButton.enabled);
    EXPECT_EQ(window.tickersFoundLabel.caption, "");
    EXPECT_EQ(window.progressLabel.caption, "");
    EXPECT_TRUE(window.cancelRequested());
}

TEST_F(WindowControllerTest, ClearAllOnTwoRowsStillEmptiesRowOne)
{
    ResultsGrid& g = window.resultsGrid;
    g.showRanked({{"IBM", 1, 1}}, "");
    g.setCurrent(1, 0);
    window.clearAllButton.enabled = true;
    window.click(Command::ClearAll);
    EXPECT_EQ(g.rows(), 2);
    EXPECT_EQ(g.text(1, 0), "");
    EXPECT_EQ(g.picture(1, 1), "");
}

TEST_F(WindowControllerTest, HelpShowsTheToolsPageAndOpensNothing)
{
    web.clearRequests();
    window.click(Command::Help);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "http://www.pellamys-veltrop.example/tools.htm");
    EXPECT_TRUE(web.requests().empty());
}

TEST_F(WindowControllerTest, TestAppendsTheQuotePageAndSaysDone)
{
    window.testPageBox.text = "before:";
    web.clearRequests();
    window.click(Command::Test);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Done");
    ASSERT_EQ(web.requests().size(), 1u);
    EXPECT_EQ(web.requests()[0],
              "http://www.washingtonpost.com/portfolio_quick_quotes.asp?tickers=intc+rare+mho");
    EXPECT_EQ(window.testPageBox.text.rfind("before:", 0), 0u);
    EXPECT_NE(window.testPageBox.text.find("INTC"), std::string::npos);
    EXPECT_GT(window.testPageBox.text.size(), std::string("before:").size() + 100);
}

TEST_F(WindowControllerTest, TestWithoutAPageOnlySaysDone)
{
    web.setFault("/portfolio_quick_quotes.asp", simweb::Fault::NotFound);
    window.testPageBox.text = "unchanged";
    window.click(Command::Test);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Done");
    EXPECT_EQ(window.testPageBox.text, "unchanged");
}

TEST_F(WindowControllerTest, DisabledButtonsDoNothing)
{
    window.setTickerList({"A", "B", "C"});
    EXPECT_FALSE(window.click(Command::ClearAll));
    EXPECT_EQ(window.tickerList().size(), 3);
}

} // namespace

namespace {

TEST_F(WindowControllerTest, ARunsReportShowsInItsSourcesTooltipsUntilTheListChanges)
{
    const std::vector<std::string> tickers = veltrop::testing::keptTickers(3);
    web.setFault(veltrop::testing::rankAddress(0, tickers[1]), simweb::Fault::ServerError);
    window.setTickerList(tickers);
    window.rankBoxes[0].value = 1;
    press(window, Command::RankLists);
    EXPECT_EQ(window.rankBoxes[0].tooltip,
              "CNET Momentum\nRated 1 of 3; stopped at " + tickers[1] + ": the page answered 500.");
    EXPECT_EQ(window.rankBoxes[5].tooltip, "Barchart Overall Performance") << "a source not run has no line";

    press(window, Command::ClearAll);
    EXPECT_EQ(window.rankBoxes[0].tooltip, "CNET Momentum");
}

} // namespace
