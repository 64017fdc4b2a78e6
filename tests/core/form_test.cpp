// Start-up, Cancel, the thresholds and the small commands, without a display.
#include <gtest/gtest.h>

#include "app/windowcontroller.h"
#include "testsupport.h"

using namespace veltrop;
using veltrop::testing::ProxyRoute;
using veltrop::testing::RecordingDialogs;
using veltrop::testing::WebFormTest;

namespace {

class FormTest : public WebFormTest {
protected:
    void typePrice(const std::string& text)
    {
        form.priceLimitBox.text = text;
        form.priceLimitTyped();
    }
    void typeVolume(const std::string& text)
    {
        form.volumeLimitBox.text = text;
        form.volumeLimitTyped();
    }
};

TEST(StartUp, WithoutAConnectionWarnsOnceAndStartsNormally)
{
    const simweb::ClosedPort closed;
    ProxyRoute route(closed.proxyUrl());
    RecordingDialogs dialogs;
    WindowController form(dialogs);
    form.load();

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "No Web connection found.  Please connect to use the program");
    EXPECT_TRUE(form.getListsButton.enabled);
    EXPECT_TRUE(form.loadListButton.enabled);
    EXPECT_FALSE(form.saveListButton.enabled);
    EXPECT_EQ(form.limits().price, 5);
}

TEST_F(FormTest, StartStatesOfStateAndButtons)
{
    EXPECT_EQ(form.tickerCount(), 0);
    EXPECT_FALSE(form.cancelRequested());
    EXPECT_EQ(form.limits().price, 5);
    EXPECT_EQ(form.limits().volume, 25000);
    EXPECT_EQ(form.statusLabel.caption, "Idle...");

    struct Row { Button* button; bool enabled; } rows[] = {
        {&form.getListsButton, true},       {&form.loadListButton, true}, {&form.cancelButton, true},
        {&form.helpButton, true},      {&form.testButton, true},       {&form.saveListButton, false},
        {&form.clearAllButton, false},    {&form.rankListsButton, false},    {&form.deleteBottomButton, false},
        {&form.opinionButton, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.button->enabled, r.enabled) << r.button->caption;

    EXPECT_EQ(form.resultsGrid.rows(), 2);
    EXPECT_EQ(form.resultsGrid.textMatrix(0, 0), "Ticker");
    EXPECT_EQ(form.resultsGrid.textMatrix(0, 1), "Rank");
    EXPECT_EQ(form.resultsGrid.colWidth(0), 1000);
    EXPECT_EQ(form.resultsGrid.colWidth(1), 3350);
    EXPECT_EQ(form.resultsGrid.colWidth(2), 0);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FormTest, CancelOnlySetsTheFlagEvenWhenIdle)
{
    EXPECT_TRUE(form.click(Command::Cancel));
    EXPECT_TRUE(form.cancelRequested());
    EXPECT_EQ(form.statusLabel.caption, "Idle...");
    EXPECT_TRUE(form.getListsButton.enabled);
}

TEST_F(FormTest, PriceTypedDigitByDigitWarnsOnlyOutOfRange)
{
    typePrice("6");
    typePrice("60");
    EXPECT_TRUE(dialogs.messages.empty());
    typePrice("600");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Enter a number between 1 and 500");
    EXPECT_EQ(form.limits().price, 600) << "the out-of-range value is kept";
    EXPECT_EQ(form.priceLimitBox.text, "600") << "the box text is never changed";
}

TEST_F(FormTest, PriceTextsAndTheValuesTheyStore)
{
    struct Row {
        const char* text;
        Wide stored;
        bool warns;
    } rows[] = {
        {"", 0, true},        {"12abc", 12, false}, {" 7", 7, false},  {"2.5", 2, false},
        {"0.6", 1, false},    {"500", 500, false},  {"1", 1, false},   {"3.5", 4, false},
        {"501", 501, true},   {"-3", -3, true},     {"abc", 0, true},  {"0.4", 0, true},
    };
    for (const Row& r : rows) {
        dialogs.messages.clear();
        typePrice(r.text);
        EXPECT_EQ(form.limits().price, r.stored) << "text \"" << r.text << "\"";
        EXPECT_EQ(dialogs.messages.size(), r.warns ? 1u : 0u) << "text \"" << r.text << "\"";
    }
}

TEST_F(FormTest, VolumeRangeIsOneToFiftyMillion)
{
    struct Row {
        const char* text;
        Wide stored;
        bool warns;
    } rows[] = {
        {"50000000", 50000000, false}, {"1", 1, false},      {"50000001", 50000001, true},
        {"0", 0, true},                {"25000", 25000, false}, {"30,000", 30, false},
    };
    for (const Row& r : rows) {
        dialogs.messages.clear();
        typeVolume(r.text);
        EXPECT_EQ(form.limits().volume, r.stored) << "text \"" << r.text << "\"";
        ASSERT_EQ(dialogs.messages.size(), r.warns ? 1u : 0u) << "text \"" << r.text << "\"";
        if (r.warns) {
            EXPECT_EQ(dialogs.messages[0], "Enter a number between 1 and 50 million");
        }
    }
}

TEST_F(FormTest, NumbersTooLargeForTheirTypeWarnWithoutWrapping)
{
    typePrice("70000");  // beyond 16 bits
    EXPECT_EQ(form.limits().price, 70000);
    typeVolume("5000000000");  // beyond 32 bits
    EXPECT_EQ(form.limits().volume, 5000000000LL);
    typePrice("1e400");
    EXPECT_GT(form.limits().price, 500);
    EXPECT_EQ(dialogs.messages.size(), 3u);
}

TEST_F(FormTest, ClearAllCutsTheGridBackToTheHeaderAndOneEmptyRow)
{
    FlexGrid& g = form.resultsGrid;
    for (int i = 1; i <= 10; ++i) {
        g.addItem("");
        g.setTextMatrix(i, 0, "T" + std::to_string(i));
        g.setTextMatrix(i, 2, std::to_string(100 - i));
        g.setCol(1);
        g.setRow(i);
        g.setCellPicture("vp17.bmp");
    }
    form.setTickerList({"KEEP", "T2", "T3", "T4", "T5", "T6", "T7", "T8", "T9", "T10"});
    form.clearAllButton.enabled = true;
    form.rankListsButton.enabled = form.deleteBottomButton.enabled = form.opinionButton.enabled = true;
    form.saveListButton.enabled = true;
    form.getListsButton.enabled = false;
    form.tickersFoundLabel.caption = " 10 tickers found";
    form.progressLabel.caption = " 10 tickers ranked";
    form.click(Command::Cancel);

    EXPECT_TRUE(form.click(Command::ClearAll));

    EXPECT_EQ(g.rows(), 2);
    EXPECT_EQ(g.textMatrix(0, 0), "Ticker");
    EXPECT_EQ(g.textMatrix(1, 0), "");
    EXPECT_EQ(g.picture(1, 1), "");
    EXPECT_EQ(g.textMatrix(1, 2), "99") << "row 1's hidden value is kept";
    EXPECT_EQ(g.row(), 1);
    EXPECT_EQ(g.col(), 1);
    EXPECT_EQ(form.tickerCount(), 0);
    EXPECT_EQ(cellText(form.tickerTable()[1][0]), "KEEP") << "rows keep their contents";
    EXPECT_TRUE(form.getListsButton.enabled);
    EXPECT_FALSE(form.clearAllButton.enabled);
    EXPECT_FALSE(form.rankListsButton.enabled);
    EXPECT_FALSE(form.deleteBottomButton.enabled);
    EXPECT_FALSE(form.saveListButton.enabled);
    EXPECT_FALSE(form.opinionButton.enabled);
    EXPECT_TRUE(form.loadListButton.enabled);
    EXPECT_EQ(form.tickersFoundLabel.caption, "");
    EXPECT_EQ(form.progressLabel.caption, "");
    EXPECT_TRUE(form.cancelRequested());
}

TEST_F(FormTest, ClearAllOnTwoRowsStillEmptiesRowOne)
{
    FlexGrid& g = form.resultsGrid;
    g.setTextMatrix(1, 0, "IBM");
    g.setCol(1);
    g.setRow(1);
    g.setCellPicture("vp1.bmp");
    g.setCol(0);
    form.clearAllButton.enabled = true;
    form.click(Command::ClearAll);
    EXPECT_EQ(g.rows(), 2);
    EXPECT_EQ(g.textMatrix(1, 0), "");
    EXPECT_EQ(g.picture(1, 1), "");
}

TEST_F(FormTest, HelpShowsTheToolsPageAndOpensNothing)
{
    web.clearRequests();
    form.click(Command::Help);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "http://www.pellamys-veltrop.example/tools.htm");
    EXPECT_TRUE(web.requests().empty());
}

TEST_F(FormTest, TestAppendsTheQuotePageAndSaysDone)
{
    form.testPageBox.text = "before:";
    web.clearRequests();
    form.click(Command::Test);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Done");
    ASSERT_EQ(web.requests().size(), 1u);
    EXPECT_EQ(web.requests()[0],
              "http://www.washingtonpost.com/portfolio_quick_quotes.asp?tickers=intc+rare+mho");
    EXPECT_EQ(form.testPageBox.text.rfind("before:", 0), 0u);
    EXPECT_NE(form.testPageBox.text.find("INTC"), std::string::npos);
    EXPECT_GT(form.testPageBox.text.size(), std::string("before:").size() + 100);
}

TEST_F(FormTest, TestWithoutAPageOnlySaysDone)
{
    web.setFault("/portfolio_quick_quotes.asp", simweb::Fault::NotFound);
    form.testPageBox.text = "unchanged";
    form.click(Command::Test);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "Done");
    EXPECT_EQ(form.testPageBox.text, "unchanged");
}

TEST_F(FormTest, DisabledButtonsDoNothing)
{
    form.setTickerList({"A", "B", "C"});
    EXPECT_FALSE(form.click(Command::ClearAll));
    EXPECT_EQ(form.tickerCount(), 3);
}

} // namespace
