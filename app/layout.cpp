#include "app/layout.h"

namespace veltrop::layout {
namespace {

using K = Kind;
using A = Align;

constexpr Control table[] = {
    // Controls on the window.
    {"SSTab1", -1, K::TabControl, OnWindow, 180, 120, 5535, 4335, 7, "", ""},
    {"getbutton", -1, K::Button, OnWindow, 6120, 255, 1110, 315, 30, "Get Lists", ""},
    {"Label1", -1, K::Label, OnWindow, 5850, 600, 1575, 240, 27, "", "", A::Centre},
    {"rankbutton", -1, K::Button, OnWindow, 6120, 960, 1110, 315, 26, "Rank Lists", ""},
    {"Label2", -1, K::Label, OnWindow, 5820, 1320, 1680, 240, 28, "", "", A::Centre},
    {"opinionbutton", -1, K::Button, OnWindow, 6150, 1695, 1110, 315, 2, "Opinion", ""},
    {"savelistbutton", -1, K::Button, OnWindow, 6150, 2010, 1110, 315, 31, "Save List", ""},
    {"loadlistbutton", -1, K::Button, OnWindow, 6150, 2325, 1110, 315, 32, "Load List", ""},
    {"clearbutton", -1, K::Button, OnWindow, 6150, 2640, 1110, 315, 5, "Clear All", ""},
    {"Helpbutton", -1, K::Button, OnWindow, 6150, 2955, 1110, 315, 6, "Help", ""},
    {"cancelbutton", -1, K::Button, OnWindow, 6150, 3585, 1110, 315, 43, "Cancel", ""},
    {"delete25", -1, K::Button, OnWindow, 5880, 4200, 1560, 255, 4, "Delete bottom 25%", ""},
    {"Label3", -1, K::Label, OnWindow, 180, 4530, 1845, 255, 3, "Idle...", ""},
    {"Label4", -1, K::Label, OnWindow, 2925, 4545, 4530, 180, 44,
     "\xC2\xA9 Pellamy's Veltrop  For informational use only", "", A::Right},
    {"text1", -1, K::RichTextBox, OnWindow, 690, 5145, 6765, 2985, 1, "", ""},
    {"Command1", -1, K::Button, OnWindow, 135, 5715, 495, 855, 0, "Test", ""},

    // Single controls on the pages.
    {"MSFlexGrid1", -1, K::Grid, ResultsPage, 390, 570, 4680, 3480, 25, "", ""},
    {"TextBox2", -1, K::RichTextBox, OpinionPage, 150, 495, 5295, 3660, 29, "", ""},
    {"Label5", -1, K::Label, OptionsPage, 165, 495, 1140, 240, 45, "Filter Defaults...", ""},
    {"Label6", -1, K::Label, OptionsPage, 345, 720, 555, 240, 46, "Price <", ""},
    {"Text2", -1, K::TextBox, OptionsPage, 1065, 720, 435, 285, 48, "5", ""},
    {"Label7", -1, K::Label, OptionsPage, 360, 990, 735, 240, 47, "Volume <", ""},
    {"Text3", -1, K::TextBox, OptionsPage, 1065, 990, 780, 285, 49, "25000", ""},

    // List sources.
    {"List", 0, K::CheckBox, ListsPage, 240, 480, 2025, 255, 16, "CS - Price Breakout", "ClearStation Price Breakout"},
    {"List", 1, K::CheckBox, ListsPage, 240, 1245, 2025, 255, 15, "CS - 5day Trend", "ClearStation Best Weekly Trend"},
    {"List", 2, K::CheckBox, ListsPage, 240, 3540, 2025, 255, 51, "SP - S and P 500", "S&P 500"},
    {"List", 3, K::CheckBox, ListsPage, 240, 1755, 2025, 255, 14, "Nasdaq 100", "Nasdaq 100 Index"},
    {"List", 4, K::CheckBox, ListsPage, 240, 2010, 2025, 255, 13, "WST - EPS Surprise", "WallStreetTape EPS Surprise"},
    {"List", 5, K::CheckBox, ListsPage, 240, 2520, 2025, 255, 12, "CN - Momentum 100", "CNET Momentum 100"},
    {"List", 6, K::CheckBox, ListsPage, 240, 2775, 2025, 255, 11, "US - Tech 150", "Upside Tech 150 Index"},
    {"List", 7, K::CheckBox, ListsPage, 240, 735, 2025, 255, 10, "CS - Record High", "ClearStation Record Price High"},
    {"List", 8, K::CheckBox, ListsPage, 240, 3030, 2025, 255, 9, "BC - Top 100 Signal", "Barchart Top 100 Signal"},
    {"List", 9, K::CheckBox, ListsPage, 240, 3285, 2025, 255, 8, "BC - Top 100 Alpha", "Barchart Top 100 Alpha"},
    {"List", 11, K::CheckBox, ListsPage, 240, 1500, 2025, 255, 33, "CS - 30day Trend", "ClearStation Best Monthly Trend"},
    {"List", 12, K::CheckBox, ListsPage, 240, 990, 2025, 255, 34, "CS - Record Volume", "ClearStation Record Volume"},
    {"List", 16, K::CheckBox, ListsPage, 240, 2265, 2025, 255, 35, "WST - Coverage Init.", "WallStreetTape Coverage Initiated"},

    // Rank sources.
    {"Rank", 0, K::CheckBox, RanksPage, 240, 480, 1815, 255, 23, "CN - Momentum", "CNET Momentum"},
    {"Rank", 1, K::CheckBox, RanksPage, 240, 735, 2055, 255, 22, "MW - Days since news", "MarketWatch days since news"},
    {"Rank", 2, K::CheckBox, RanksPage, 240, 990, 1815, 255, 21, "TS - ST Growth", "Telescan Short Term Growth"},
    {"Rank", 3, K::CheckBox, RanksPage, 240, 1245, 1815, 255, 20, "TS - ST Value", "Telescan Short Term Value"},
    {"Rank", 4, K::CheckBox, RanksPage, 240, 1500, 1815, 255, 24, "TS - ST Tech", "Telescan Short Term Technical"},
    {"Rank", 5, K::CheckBox, RanksPage, 240, 3285, 1815, 255, 19, "BC - Overall Perf.", "Barchart Overall Performance"},
    {"Rank", 6, K::CheckBox, RanksPage, 240, 3795, 1815, 255, 18, "FB - Fund Count", "Forbes - Funds in Top 5 Holdings"},
    {"Rank", 7, K::CheckBox, RanksPage, 240, 3540, 2055, 255, 17, "BC - Buy/Sell Average", "BarChart - Buy/Sell Average"},
    {"Rank", 8, K::CheckBox, RanksPage, 2895, 480, 1815, 255, 36, "VL - Guru Analysis", "Validea Gurus Analysis Average"},
    {"Rank", 9, K::CheckBox, RanksPage, 240, 1755, 1815, 255, 37, "TS - Analyst", "Telescan Analyst Rank"},
    {"Rank", 10, K::CheckBox, RanksPage, 240, 2010, 1815, 255, 38, "TS - Insider", "Telescan Insider Rank"},
    {"Rank", 11, K::CheckBox, RanksPage, 240, 2265, 1815, 255, 39, "TS - Fundamental", "Telescan Fundamental Rank"},
    {"Rank", 12, K::CheckBox, RanksPage, 240, 2520, 1815, 255, 40, "TS - Momentum", "Telescan Momentum Rank"},
    {"Rank", 13, K::CheckBox, RanksPage, 240, 2775, 1815, 255, 41, "TS - Volume Rank", "Telescan Volume Rank"},
    {"Rank", 14, K::CheckBox, RanksPage, 240, 3030, 2055, 255, 42, "TS - All Rank Increase", "Telescan All Rank 1 Month Growth"},
    {"Rank", 15, K::CheckBox, RanksPage, 2895, 735, 1815, 255, 50, "IBD - SmartSelect", "IBD All SmartSelect Ranks"},
    {"Rank", 16, K::CheckBox, RanksPage, 2895, 990, 1815, 255, 52, "ZK - Buy/Sell Rank", "Zacks Buy/Sell RanktSelect Ranks"},
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
