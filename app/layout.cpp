#include "app/layout.h"

namespace veltrop::layout {
namespace {

using K = Kind;
using A = Align;

constexpr Control table[] = {
    // Controls on the window.
    {"tabs", -1, K::TabControl, OnWindow, 180, 120, 5535, 4335, 7, "", ""},
    {"getListsButton", -1, K::Button, OnWindow, 6120, 255, 1110, 315, 30, "Get Lists", ""},
    {"tickersFoundLabel", -1, K::Label, OnWindow, 5850, 600, 1575, 240, 27, "", "", A::Centre},
    {"rankListsButton", -1, K::Button, OnWindow, 6120, 960, 1110, 315, 26, "Rank Lists", ""},
    {"progressLabel", -1, K::Label, OnWindow, 5820, 1320, 1680, 240, 28, "", "", A::Centre},
    {"opinionButton", -1, K::Button, OnWindow, 6150, 1695, 1110, 315, 2, "Opinion", ""},
    {"saveListButton", -1, K::Button, OnWindow, 6150, 2010, 1110, 315, 31, "Save List", ""},
    {"loadListButton", -1, K::Button, OnWindow, 6150, 2325, 1110, 315, 32, "Load List", ""},
    {"clearAllButton", -1, K::Button, OnWindow, 6150, 2640, 1110, 315, 5, "Clear All", ""},
    {"helpButton", -1, K::Button, OnWindow, 6150, 2955, 1110, 315, 6, "Help", ""},
    {"cancelButton", -1, K::Button, OnWindow, 6150, 3585, 1110, 315, 43, "Cancel", ""},
    {"deleteBottomButton", -1, K::Button, OnWindow, 5880, 4200, 1560, 255, 4, "Delete bottom 25%", ""},
    {"statusLabel", -1, K::Label, OnWindow, 180, 4530, 1845, 255, 3, "Idle...", ""},
    {"noticeLabel", -1, K::Label, OnWindow, 2925, 4545, 4530, 180, 44,
     "\xC2\xA9 Pellamy's Veltrop  For informational use only", "", A::Right},
    {"testPageBox", -1, K::RichTextBox, OnWindow, 690, 5145, 6765, 2985, 1, "", ""},
    {"testButton", -1, K::Button, OnWindow, 135, 5715, 495, 855, 0, "Test", ""},

    // Single controls on the pages.
    {"resultsGrid", -1, K::Grid, ResultsPage, 390, 570, 4680, 3480, 25, "", ""},
    {"opinionBox", -1, K::RichTextBox, OpinionPage, 150, 495, 5295, 3660, 29, "", ""},
    {"filterDefaultsLabel", -1, K::Label, OptionsPage, 165, 495, 1140, 240, 45, "Filter Defaults...", ""},
    {"priceLabel", -1, K::Label, OptionsPage, 345, 720, 555, 240, 46, "Price <", ""},
    {"priceLimitBox", -1, K::TextBox, OptionsPage, 1065, 720, 435, 285, 48, "5", ""},
    {"volumeLabel", -1, K::Label, OptionsPage, 360, 990, 735, 240, 47, "Volume <", ""},
    {"volumeLimitBox", -1, K::TextBox, OptionsPage, 1065, 990, 780, 285, 49, "25000", ""},

    // List sources.
    {"listBox", 0, K::CheckBox, ListsPage, 240, 480, 2025, 255, 16, "CS - Price Breakout", "ClearStation Price Breakout"},
    {"listBox", 1, K::CheckBox, ListsPage, 240, 1245, 2025, 255, 15, "CS - 5day Trend", "ClearStation Best Weekly Trend"},
    {"listBox", 2, K::CheckBox, ListsPage, 240, 3540, 2025, 255, 51, "SP - S and P 500", "S&P 500"},
    {"listBox", 3, K::CheckBox, ListsPage, 240, 1755, 2025, 255, 14, "Nasdaq 100", "Nasdaq 100 Index"},
    {"listBox", 4, K::CheckBox, ListsPage, 240, 2010, 2025, 255, 13, "WST - EPS Surprise", "WallStreetTape EPS Surprise"},
    {"listBox", 5, K::CheckBox, ListsPage, 240, 2520, 2025, 255, 12, "CN - Momentum 100", "CNET Momentum 100"},
    {"listBox", 6, K::CheckBox, ListsPage, 240, 2775, 2025, 255, 11, "US - Tech 150", "Upside Tech 150 Index"},
    {"listBox", 7, K::CheckBox, ListsPage, 240, 735, 2025, 255, 10, "CS - Record High", "ClearStation Record Price High"},
    {"listBox", 8, K::CheckBox, ListsPage, 240, 3030, 2025, 255, 9, "BC - Top 100 Signal", "Barchart Top 100 Signal"},
    {"listBox", 9, K::CheckBox, ListsPage, 240, 3285, 2025, 255, 8, "BC - Top 100 Alpha", "Barchart Top 100 Alpha"},
    {"listBox", 11, K::CheckBox, ListsPage, 240, 1500, 2025, 255, 33, "CS - 30day Trend", "ClearStation Best Monthly Trend"},
    {"listBox", 12, K::CheckBox, ListsPage, 240, 990, 2025, 255, 34, "CS - Record Volume", "ClearStation Record Volume"},
    {"listBox", 16, K::CheckBox, ListsPage, 240, 2265, 2025, 255, 35, "WST - Coverage Init.", "WallStreetTape Coverage Initiated"},

    // Rank sources.
    {"rankBox", 0, K::CheckBox, RanksPage, 240, 480, 1815, 255, 23, "CN - Momentum", "CNET Momentum"},
    {"rankBox", 1, K::CheckBox, RanksPage, 240, 735, 2055, 255, 22, "MW - Days since news", "MarketWatch days since news"},
    {"rankBox", 2, K::CheckBox, RanksPage, 240, 990, 1815, 255, 21, "TS - ST Growth", "Telescan Short Term Growth"},
    {"rankBox", 3, K::CheckBox, RanksPage, 240, 1245, 1815, 255, 20, "TS - ST Value", "Telescan Short Term Value"},
    {"rankBox", 4, K::CheckBox, RanksPage, 240, 1500, 1815, 255, 24, "TS - ST Tech", "Telescan Short Term Technical"},
    {"rankBox", 5, K::CheckBox, RanksPage, 240, 3285, 1815, 255, 19, "BC - Overall Perf.", "Barchart Overall Performance"},
    {"rankBox", 6, K::CheckBox, RanksPage, 240, 3795, 1815, 255, 18, "FB - Fund Count", "Forbes - Funds in Top 5 Holdings"},
    {"rankBox", 7, K::CheckBox, RanksPage, 240, 3540, 2055, 255, 17, "BC - Buy/Sell Average", "BarChart - Buy/Sell Average"},
    {"rankBox", 8, K::CheckBox, RanksPage, 2895, 480, 1815, 255, 36, "VL - Guru Analysis", "Validea Gurus Analysis Average"},
    {"rankBox", 9, K::CheckBox, RanksPage, 240, 1755, 1815, 255, 37, "TS - Analyst", "Telescan Analyst Rank"},
    {"rankBox", 10, K::CheckBox, RanksPage, 240, 2010, 1815, 255, 38, "TS - Insider", "Telescan Insider Rank"},
    {"rankBox", 11, K::CheckBox, RanksPage, 240, 2265, 1815, 255, 39, "TS - Fundamental", "Telescan Fundamental Rank"},
    {"rankBox", 12, K::CheckBox, RanksPage, 240, 2520, 1815, 255, 40, "TS - Momentum", "Telescan Momentum Rank"},
    {"rankBox", 13, K::CheckBox, RanksPage, 240, 2775, 1815, 255, 41, "TS - Volume Rank", "Telescan Volume Rank"},
    {"rankBox", 14, K::CheckBox, RanksPage, 240, 3030, 2055, 255, 42, "TS - All Rank Increase", "Telescan All Rank 1 Month Growth"},
    {"rankBox", 15, K::CheckBox, RanksPage, 2895, 735, 1815, 255, 50, "IBD - SmartSelect", "IBD All SmartSelect Ranks"},
    {"rankBox", 16, K::CheckBox, RanksPage, 2895, 990, 1815, 255, 52, "ZK - Buy/Sell Rank", "Zacks Buy/Sell RanktSelect Ranks"},
};

} // namespace

std::span<const Control> controls() { return table; }

const Control* find(std::string_view name, int index)
{
    for (const Control& c : table)
        if (c.name == name && c.index == index)
            return &c;
    return nullptr;
}

} // namespace veltrop::layout
