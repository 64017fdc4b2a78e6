// The fixed tables of the program stated once more, value by value, as the
// sites and the window were laid out: a list source moved in the order, a
// wrong query, a control out of place or a wrong tooltip fails here even when
// the simulated web and the window agree with the program's own tables.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "app/windowcontroller.h"
#include "app/layout.h"
#include "app/sourceboxes.h"
#include "lists/listsources.h"
#include "testsupport.h"
#include "tools/simweb/pages.h"

using namespace veltrop;
using veltrop::testing::ProxyRoute;
using veltrop::testing::RecordingDialogs;

namespace {

// ---- the thirteen list sources ----

struct ListRow {
    int box;
    const char* caption;
    const char* path;
    const char* query;  // nullptr: none
    int table, row, column, step;
    bool paging;
    int nextTable, nextRow, nextColumn;
    const char* nextText;
};

const ListRow listRows[] = {
    {0, "CS - Price Breakout", "/cgi-bin/drill_event", "Event=BreakOut", 14, 2, 1, 1, true, 17, 1, 4, "Next Page"},
    {1, "CS - 5day Trend", "/cgi-bin/drill_event", "Event=macdBAfollow_w", 14, 2, 1, 1, true, 17, 1, 4, "Next Page"},
    {12, "CS - Record Volume", "/cgi-bin/drill_event", "Event=V", 14, 2, 1, 1, true, 17, 1, 4, "Next Page"},
    {11, "CS - 30day Trend", "/cgi-bin/drill_event", "Event=macdBAfollow_m", 14, 2, 1, 1, true, 17, 1, 4, "Next Page"},
    {3, "Nasdaq 100", "/dynamic/nasdaq100_activity.stm", nullptr, 11, 1, 2, 1, false, 0, 0, 0, ""},
    {16, "WST - Coverage Init.", "/analysis/realtime/realtime.asp", "id=initiated", 19, 1, 5, 2, false, 0, 0, 0, ""},
    {4, "WST - EPS Surprise", "/analysis/realtime/realtime.asp", "id=psurprise", 19, 1, 5, 2, false, 0, 0, 0, ""},
    {5, "CN - Momentum 100", "/investor/brokeragecenter/top-momentum/0-9910-1078-0-1.html", "tag=tmtm", 12, 2, 2, 1, false, 0, 0, 0, ""},
    {6, "US - Tech 150", "/texis/mvm/stocktools/upside150", nullptr, 24, 1, 2, 1, false, 0, 0, 0, ""},
    {7, "CS - Record High", "/cgi-bin/drill_event", "Event=P", 14, 2, 1, 1, true, 10, 1, 4, "Next Page"},
    {8, "BC - Top 100 Signal", "/sigtop.htx", "start=all", 11, 1, 1, 1, false, 0, 0, 0, ""},
    {9, "BC - Top 100 Alpha", "/sectors.asp", "sec=top~100~stocks.sec", 11, 1, 1, 1, false, 0, 0, 0, ""},
    {2, "SP - S and P 500", "/indexmainglobal500_data.html", nullptr, 11, 1, 1, 1, false, 0, 0, 0, ""},
};

TEST(PinnedTables, TheThirteenListSourcesInTheirOrder)
{
    const auto sources = listSources();
    ASSERT_EQ(sources.size(), std::size(listRows));
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const ListSource& got = sources[i];
        const ListRow& want = listRows[i];
        SCOPED_TRACE(want.caption);
        EXPECT_EQ(listBoxOf(got.name), want.box);
        ASSERT_NE(layout::find("listBox", want.box), nullptr);
        EXPECT_EQ(layout::find("listBox", want.box)->caption, want.caption);
        // The host is the site's own; the rest of the address is sent exactly
        // as written, "~" and "_" included.
        const simweb::UrlParts at = simweb::urlParts(got.url);
        EXPECT_EQ(got.url, "http://" + at.host + want.path + (want.query ? "?" + std::string(want.query) : std::string()));
        EXPECT_EQ(got.table, want.table);
        EXPECT_EQ(got.row, want.row);
        EXPECT_EQ(got.column, want.column);
        EXPECT_EQ(got.step, want.step);
        EXPECT_EQ(got.paging, want.paging);
        if (want.paging) {
            EXPECT_EQ(got.nextTable, want.nextTable);
            EXPECT_EQ(got.nextRow, want.nextRow);
            EXPECT_EQ(got.nextColumn, want.nextColumn);
            EXPECT_EQ(got.nextText, want.nextText);
        }
    }
}

TEST(PinnedTables, ListSourcesOfOneSiteShareItsHost)
{
    const auto sources = listSources();
    std::set<std::string> clearstation;
    const auto host = [&](int i) { return simweb::urlParts(sources[std::size_t(i)].url).host; };
    for (const ListSource& s : sources)
        if (simweb::urlParts(s.url).path == "/cgi-bin/drill_event")
            clearstation.insert(simweb::urlParts(s.url).host);
    EXPECT_EQ(clearstation.size(), 1u);
    EXPECT_EQ(host(5), host(6)) << "the two WallStreetTape lists";
    EXPECT_EQ(host(10), host(11)) << "the two Barchart lists";
}

// ---- the window ----

using layout::Align;
using layout::Kind;
using layout::Page;
using K = layout::Kind;
using A = layout::Align;
using enum layout::Page;

struct ControlRow {
    const char* name;
    int index;
    Kind kind;
    Page page;
    int left, top, width, height;
    int tabOrder;
    const char* caption;
    const char* tooltip;
    Align align;
};

const ControlRow controlRows[] = {
    {"tabs", -1, K::TabControl, OnWindow, 180, 120, 5535, 4335, 7, "", "", A::Left},
    {"getListsButton", -1, K::Button, OnWindow, 6120, 255, 1110, 315, 30, "Get Lists", "", A::Left},
    {"tickersFoundLabel", -1, K::Label, OnWindow, 5850, 600, 1575, 240, 27, "", "", A::Centre},
    {"rankListsButton", -1, K::Button, OnWindow, 6120, 960, 1110, 315, 26, "Rank Lists", "", A::Left},
    {"progressLabel", -1, K::Label, OnWindow, 5820, 1320, 1680, 240, 28, "", "", A::Centre},
    {"opinionButton", -1, K::Button, OnWindow, 6150, 1695, 1110, 315, 2, "Opinion", "", A::Left},
    {"saveListButton", -1, K::Button, OnWindow, 6150, 2010, 1110, 315, 31, "Save List", "", A::Left},
    {"loadListButton", -1, K::Button, OnWindow, 6150, 2325, 1110, 315, 32, "Load List", "", A::Left},
    {"clearAllButton", -1, K::Button, OnWindow, 6150, 2640, 1110, 315, 5, "Clear All", "", A::Left},
    {"helpButton", -1, K::Button, OnWindow, 6150, 2955, 1110, 315, 6, "Help", "", A::Left},
    {"cancelButton", -1, K::Button, OnWindow, 6150, 3585, 1110, 315, 43, "Cancel", "", A::Left},
    {"deleteBottomButton", -1, K::Button, OnWindow, 5880, 4200, 1560, 255, 4, "Delete bottom 25%", "", A::Left},
    {"statusLabel", -1, K::Label, OnWindow, 180, 4530, 1845, 255, 3, "Idle...", "", A::Left},
    {"noticeLabel", -1, K::Label, OnWindow, 2925, 4545, 4530, 180, 44, "  For informational use only", "", A::Right},
    {"testPageBox", -1, K::RichTextBox, OnWindow, 690, 5145, 6765, 2985, 1, "", "", A::Left},
    {"testButton", -1, K::Button, OnWindow, 135, 5715, 495, 855, 0, "Test", "", A::Left},
    {"resultsGrid", -1, K::Grid, ResultsPage, 390, 570, 4680, 3480, 25, "", "", A::Left},
    {"opinionBox", -1, K::RichTextBox, OpinionPage, 150, 495, 5295, 3660, 29, "", "", A::Left},
    {"filterDefaultsLabel", -1, K::Label, OptionsPage, 165, 495, 1140, 240, 45, "Filter Defaults...", "", A::Left},
    {"priceLabel", -1, K::Label, OptionsPage, 345, 720, 555, 240, 46, "Price <", "", A::Left},
    {"priceLimitBox", -1, K::TextBox, OptionsPage, 1065, 720, 435, 285, 48, "5", "", A::Left},
    {"volumeLabel", -1, K::Label, OptionsPage, 360, 990, 735, 240, 47, "Volume <", "", A::Left},
    {"volumeLimitBox", -1, K::TextBox, OptionsPage, 1065, 990, 780, 285, 49, "25000", "", A::Left},
    {"listBox", 0, K::CheckBox, ListsPage, 240, 480, 2025, 255, 16, "CS - Price Breakout", "ClearStation Price Breakout", A::Left},
    {"listBox", 1, K::CheckBox, ListsPage, 240, 1245, 2025, 255, 15, "CS - 5day Trend", "ClearStation Best Weekly Trend", A::Left},
    {"listBox", 2, K::CheckBox, ListsPage, 240, 3540, 2025, 255, 51, "SP - S and P 500", "S&P 500", A::Left},
    {"listBox", 3, K::CheckBox, ListsPage, 240, 1755, 2025, 255, 14, "Nasdaq 100", "Nasdaq 100 Index", A::Left},
    {"listBox", 4, K::CheckBox, ListsPage, 240, 2010, 2025, 255, 13, "WST - EPS Surprise", "WallStreetTape EPS Surprise", A::Left},
    {"listBox", 5, K::CheckBox, ListsPage, 240, 2520, 2025, 255, 12, "CN - Momentum 100", "CNET Momentum 100", A::Left},
    {"listBox", 6, K::CheckBox, ListsPage, 240, 2775, 2025, 255, 11, "US - Tech 150", "Upside Tech 150 Index", A::Left},
    {"listBox", 7, K::CheckBox, ListsPage, 240, 735, 2025, 255, 10, "CS - Record High", "ClearStation Record Price High", A::Left},
    {"listBox", 8, K::CheckBox, ListsPage, 240, 3030, 2025, 255, 9, "BC - Top 100 Signal", "Barchart Top 100 Signal", A::Left},
    {"listBox", 9, K::CheckBox, ListsPage, 240, 3285, 2025, 255, 8, "BC - Top 100 Alpha", "Barchart Top 100 Alpha", A::Left},
    {"listBox", 11, K::CheckBox, ListsPage, 240, 1500, 2025, 255, 33, "CS - 30day Trend", "ClearStation Best Monthly Trend", A::Left},
    {"listBox", 12, K::CheckBox, ListsPage, 240, 990, 2025, 255, 34, "CS - Record Volume", "ClearStation Record Volume", A::Left},
    {"listBox", 16, K::CheckBox, ListsPage, 240, 2265, 2025, 255, 35, "WST - Coverage Init.", "WallStreetTape Coverage Initiated", A::Left},
    {"rankBox", 0, K::CheckBox, RanksPage, 240, 480, 1815, 255, 23, "CN - Momentum", "CNET Momentum", A::Left},
    {"rankBox", 1, K::CheckBox, RanksPage, 240, 735, 2055, 255, 22, "MW - Days since news", "MarketWatch days since news", A::Left},
    {"rankBox", 2, K::CheckBox, RanksPage, 240, 990, 1815, 255, 21, "TS - ST Growth", "Telescan Short Term Growth", A::Left},
    {"rankBox", 3, K::CheckBox, RanksPage, 240, 1245, 1815, 255, 20, "TS - ST Value", "Telescan Short Term Value", A::Left},
    {"rankBox", 4, K::CheckBox, RanksPage, 240, 1500, 1815, 255, 24, "TS - ST Tech", "Telescan Short Term Technical", A::Left},
    {"rankBox", 5, K::CheckBox, RanksPage, 240, 3285, 1815, 255, 19, "BC - Overall Perf.", "Barchart Overall Performance", A::Left},
    {"rankBox", 6, K::CheckBox, RanksPage, 240, 3795, 1815, 255, 18, "FB - Fund Count", "Forbes - Funds in Top 5 Holdings", A::Left},
    {"rankBox", 7, K::CheckBox, RanksPage, 240, 3540, 2055, 255, 17, "BC - Buy/Sell Average", "BarChart - Buy/Sell Average", A::Left},
    {"rankBox", 8, K::CheckBox, RanksPage, 2895, 480, 1815, 255, 36, "VL - Guru Analysis", "Validea Gurus Analysis Average", A::Left},
    {"rankBox", 9, K::CheckBox, RanksPage, 240, 1755, 1815, 255, 37, "TS - Analyst", "Telescan Analyst Rank", A::Left},
    {"rankBox", 10, K::CheckBox, RanksPage, 240, 2010, 1815, 255, 38, "TS - Insider", "Telescan Insider Rank", A::Left},
    {"rankBox", 11, K::CheckBox, RanksPage, 240, 2265, 1815, 255, 39, "TS - Fundamental", "Telescan Fundamental Rank", A::Left},
    {"rankBox", 12, K::CheckBox, RanksPage, 240, 2520, 1815, 255, 40, "TS - Momentum", "Telescan Momentum Rank", A::Left},
    {"rankBox", 13, K::CheckBox, RanksPage, 240, 2775, 1815, 255, 41, "TS - Volume Rank", "Telescan Volume Rank", A::Left},
    {"rankBox", 14, K::CheckBox, RanksPage, 240, 3030, 2055, 255, 42, "TS - All Rank Increase", "Telescan All Rank 1 Month Growth", A::Left},
    {"rankBox", 15, K::CheckBox, RanksPage, 2895, 735, 1815, 255, 50, "IBD - SmartSelect", "IBD All SmartSelect Ranks", A::Left},
    {"rankBox", 16, K::CheckBox, RanksPage, 2895, 990, 1815, 255, 52, "ZK - Buy/Sell Rank", "Zacks Buy/Sell RanktSelect Ranks", A::Left},
};

TEST(PinnedTables, EveryControlOfTheWindowInItsPlace)
{
    EXPECT_EQ(layout::windowCaption, "Pellamy's Veltrop v1.4");
    EXPECT_EQ(layout::clientWidth, 7575);
    EXPECT_EQ(layout::clientHeight, 4845);
    ASSERT_EQ(std::size(layout::tabCaptions), 5u);
    const char* tabs[] = {"Lists...", "Ranks...", "Results...", "Opinion...", "Options..."};
    for (int page = 0; page < 5; ++page)
        EXPECT_EQ(layout::tabCaptions[page], tabs[page]);

    EXPECT_EQ(layout::controls().size(), std::size(controlRows)) << "no control more or less";
    for (const ControlRow& want : controlRows) {
        SCOPED_TRACE(std::string(want.name) + (want.index >= 0 ? " " + std::to_string(want.index) : ""));
        const layout::Control* got = layout::find(want.name, want.index);
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got->kind, want.kind);
        EXPECT_EQ(got->page, want.page);
        EXPECT_EQ(got->left, want.left);
        EXPECT_EQ(got->top, want.top);
        EXPECT_EQ(got->width, want.width);
        EXPECT_EQ(got->height, want.height);
        EXPECT_EQ(got->tabOrder, want.tabOrder);
        EXPECT_EQ(got->tooltip, want.tooltip);
        EXPECT_EQ(got->align, want.align);
        if (std::string_view(want.name) == "noticeLabel") {
            // The maker's notice is the program's own; the words after it are not.
            const std::string_view tail = want.caption;
            ASSERT_GT(got->caption.size(), tail.size());
            EXPECT_EQ(got->caption.substr(got->caption.size() - tail.size()), tail);
            EXPECT_NE(got->caption[got->caption.size() - tail.size() - 1], ' ');
        } else {
            EXPECT_EQ(got->caption, want.caption);
        }
    }
}

// ---- start-up without a connection ----

TEST(PinnedTables, StartUpWithoutAConnectionLeavesEveryStartValue)
{
    const simweb::ClosedPort closed;
    ProxyRoute route(closed.proxyUrl());
    RecordingDialogs dialogs;
    WindowController window(dialogs);
    window.load();

    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"No Web connection found.  Please connect to use the program"});
    EXPECT_TRUE(dialogs.shown.empty());

    const struct {
        Button* button;
        const char* caption;
        bool enabled;
    } buttons[] = {
        {&window.getListsButton, "Get Lists", true},        {&window.rankListsButton, "Rank Lists", false},
        {&window.opinionButton, "Opinion", false},     {&window.saveListButton, "Save List", false},
        {&window.loadListButton, "Load List", true},   {&window.clearAllButton, "Clear All", false},
        {&window.helpButton, "Help", true},            {&window.cancelButton, "Cancel", true},
        {&window.deleteBottomButton, "Delete bottom 25%", false}, {&window.testButton, "Test", true},
    };
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->caption, b.caption);
        EXPECT_EQ(b.button->enabled, b.enabled) << b.caption;
    }
    EXPECT_EQ(window.tickersFoundLabel.caption, "");
    EXPECT_EQ(window.progressLabel.caption, "");
    EXPECT_EQ(window.statusLabel.caption, "Idle...");
    EXPECT_EQ(window.filterDefaultsLabel.caption, "Filter Defaults...");
    EXPECT_EQ(window.priceLabel.caption, "Price <");
    EXPECT_EQ(window.volumeLabel.caption, "Volume <");
    const std::string notice = "  For informational use only";
    ASSERT_GT(window.noticeLabel.caption.size(), notice.size());
    EXPECT_EQ(window.noticeLabel.caption.substr(window.noticeLabel.caption.size() - notice.size()), notice);
    EXPECT_EQ(window.priceLimitBox.text, "5");
    EXPECT_EQ(window.volumeLimitBox.text, "25000");
    EXPECT_EQ(window.testPageBox.text, "");
    EXPECT_EQ(window.opinionBox.text, "");

    // Every check box unticked, with only the indices the layout has.
    std::vector<int> listIndices, rankIndices;
    for (const auto& [index, box] : window.listBoxes) {
        listIndices.push_back(index);
        EXPECT_EQ(box.value, 0) << "List " << index;
    }
    for (const auto& [index, box] : window.rankBoxes) {
        rankIndices.push_back(index);
        EXPECT_EQ(box.value, 0) << "Rank " << index;
    }
    EXPECT_EQ(listIndices, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 16}));
    EXPECT_EQ(rankIndices, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_EQ(window.listBoxes.at(6).tooltip, "Upside Tech 150 Index");
    EXPECT_EQ(window.rankBoxes.at(16).caption, "ZK - Buy/Sell Rank");

    // The results grid: a header row and one empty row, three columns.
    EXPECT_EQ(window.resultsGrid.rows(), 2);
    EXPECT_EQ(ResultsGrid::columns, 3);
    EXPECT_EQ(window.resultsGrid.text(0, 0), "Ticker");
    EXPECT_EQ(window.resultsGrid.text(0, 1), "Rank");
    EXPECT_EQ(window.resultsGrid.text(1, 0), "");
    EXPECT_EQ(window.resultsGrid.colWidth(0), 1000);
    EXPECT_EQ(window.resultsGrid.colWidth(1), 3350);
    EXPECT_EQ(window.resultsGrid.colWidth(2), 0);
    EXPECT_EQ(window.resultsGrid.row(), 1);
    EXPECT_EQ(window.resultsGrid.col(), 1);

    // What outlives a command.
    EXPECT_TRUE(window.tickerList().empty());
    EXPECT_FALSE(window.cancelRequested());
    EXPECT_EQ(window.limits().price, 5);
    EXPECT_EQ(window.limits().volume, 25000);
    EXPECT_EQ(window.opinionTicker(), "");
    EXPECT_FALSE(window.running());
}

} // namespace
