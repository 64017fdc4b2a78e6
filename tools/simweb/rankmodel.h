#pragma once
// What each rank site says about a ticker, as facts drawn from the synthetic
// market. The rank pages are rendered from these facts, and a test that wants
// to know what a page must give a reader computes it from them without
// reading the page. Every fact follows from the ticker by hashing, except the
// news dates, which are placed relative to a given day.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace simweb::ranks {

// The symbol a site looks up for the text in its address: blanks trimmed,
// letters in upper case (the sites ignored the letter case of a symbol).
std::string lookupSymbol(std::string_view addressText);
// True for the tickers the sites have data on: the market's listed ones.
// Every other symbol gets the site's no-data page.
bool isListed(std::string_view symbol);

// One cell of a page. `text` is written into the cell as it stands, blanks
// around it included (a reader that trims sees them go); `value` is the
// number the text leads with, 0 when it leads with none ("n/a", "").
struct CellFact {
    std::string text;
    double value = 0;
};

// ---- CNET investor: momentum rating of one company, cell (14, 2, 2) ----
CellFact cnetMomentum(std::string_view ticker);

// ---- Telescan rankings report, table 12 ----
// The eight rankings the program reads stand on these rows; column 2 holds
// the current rank and column 3 the rank a month earlier.
inline constexpr std::array<int, 8> kTelescanRows{6, 8, 10, 12, 13, 14, 15, 16};
struct TelescanRank {
    CellFact current;  // column 2
    CellFact earlier;  // column 3
};
struct TelescanFacts {
    bool matched = false;     // false: the "No Matching Symbols" page, without table 12
    std::string noMatchText;  // that page's message, in varying letter case
    std::array<TelescanRank, 8> ranks{};  // by kTelescanRows
};
TelescanFacts telescanRanks(std::string_view ticker);

// ---- Barchart ----
// Overall performance, cell (11, 2, 4) of the performance page.
CellFact barchartPerformance(std::string_view ticker);
// Overall technical opinion ("72% Buy", "-40% Sell"), cell (10, 28, 2) of the
// technical opinion page.
CellFact barchartOpinion(std::string_view ticker);

// ---- MarketWatch quote news ----
struct CivilDate {
    int year = 0, month = 0, day = 0;
    bool operator==(const CivilDate&) const = default;
};
// Today in local time.
CivilDate localToday();
// Whole days since 1 January 1970 and back.
long long daysFromCivil(CivilDate date);
CivilDate civilFromDays(long long days);

enum class NewsKind {
    Dated,          // "News Headlines" table 14, latest headline's date in cell (14, 3, 1)
    NoNewsAtStart,  // the page text begins with the words no news (varying case)
    NoNewsLater,    // a headlines page saying "There is no news ..." further down
    NotFound,       // "Symbol ... not found"; every unlisted ticker gets it
    NoHeadlines,    // a quote page without a "News Headlines" section
    NotADate,       // headlines whose date cell holds a text that is no date
};
enum class DateForm {
    Slashes,       // 6/7/2024
    SlashesShort,  // 6/7/24 (00-29 stand for 2000-2029, 30-99 for 1930-1999)
    MonAbbrev,     // Jun 7, 2024
    MonthName,     // June 7, 2024
    DayMonYear,    // 7-Jun-2024
    Iso,           // 2024-06-07
};
enum class TimeForm {
    None,          // the headline is taken at midnight
    HourMinute,    // 14:05
    HourMinuteSecond,  // 14:05:09
    HourMinuteAmPm,    // 2:05 PM
    HourMinuteSecondAmPm,  // 2:05:09 PM
};
struct NewsFacts {
    NewsKind kind = NewsKind::NotFound;
    // Dated and NotADate: the text of the date cell, as the page writes it.
    std::string dateText;
    // Dated: the latest headline's date and time of day (0:00:00 without a
    // time), and how the text shows it.
    CivilDate date;
    int hour = 0, minute = 0, second = 0;
    DateForm dateForm = DateForm::Slashes;
    TimeForm timeForm = TimeForm::None;
    int daysAgo = 0;  // today minus the headline's date; below 0 when dated ahead
    // NoNewsAtStart: the words the page opens with ("No news", "NO NEWS", ...).
    std::string opening;
};
NewsFacts marketwatchNews(std::string_view ticker, CivilDate today);
// How a date and time are written in a form; shared by the page's older
// headlines.
std::string writeNewsDate(CivilDate date, int hour, int minute, int second, DateForm dateForm,
                          TimeForm timeForm, int monthCase);

// ---- Forbes fund holdings, table 11 ----
// Holdings stand on rows 3, 5, 7, ..., 51 (25 a page), column 3, each
// reading a number above 0; a page with more after it has a "Next N" link
// alone in cell (11, 53, 2), to the same path with page=<n + 1>.
inline constexpr int kFundsPerPage = 25;
struct FundFacts {
    int holdings = 0;  // 0 to 90
    int pages = 1;     // 1 to 4; a count of 0 still has its one page
};
FundFacts forbesFunds(std::string_view ticker);
// Holdings shown on page `page` (1-based) and the N of its "Next N" link
// (0 on the last page).
int fundsOnPage(const FundFacts& funds, int page);
int nextLinkCount(const FundFacts& funds, int page);

// ---- Validea guru analysis ----
// The nine scores stand in cell (t, 3, 2) of these tables.
inline constexpr std::array<int, 9> kGuruTables{23, 24, 25, 28, 29, 30, 33, 34, 56};
struct GuruFacts {
    bool analysed = false;  // false: the "no Guru" page
    std::array<CellFact, 9> scores{};  // by kGuruTables
};
GuruFacts valideaGurus(std::string_view ticker);

// ---- IBD SmartSelect ----
// The address carries the upper-case ticker encoded: the character at
// position k = 1, 2, ... becomes the one k + 11 codes on for U..Z, k + 1
// codes on otherwise, followed by the digits of k + 2 ("ABC" is "C3E4G5").
// Decoding gives nullopt for a text that is no such encoding.
std::string smartSelectEncode(std::string_view upperTicker);
std::optional<std::string> smartSelectDecode(std::string_view code);
struct SmartSelectFacts {
    bool rated = false;        // false: the "not currently" page
    std::string unratedText;   // that page's message
    CellFact eps;              // cell (1, 5, 2)
    CellFact relativeStrength; // cell (1, 5, 6)
    // Cells (1, 5, 10), (1, 5, 14), (1, 5, 18): "A" to "E", some mangled
    // ("a", "A+", stray blanks).
    std::array<std::string, 3> grades{};
};
SmartSelectFacts smartSelect(std::string_view ticker);

// ---- Zacks broker recommendation, cell (21, 2, 10) ----
struct BrokerFacts {
    bool covered = false;        // false: the "No Reports" page
    std::string recommendation;  // "Strong Buy" ... "Strong Sell", some with stray blanks or in the wrong case
};
BrokerFacts zacksBroker(std::string_view ticker);

} // namespace simweb::ranks
