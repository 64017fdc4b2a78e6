#pragma once
// The seventeen rank sources as data, and the extractions that turn one page
// of a source into points for one ticker. An extraction reads its page only
// through the read-only RankPage view and touches no form state, so it gives
// the same result whether the page was opened just now or fetched ahead.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrop {

// What an extraction gives for one ticker.
struct Points {
    enum class Kind { Nothing, Add, Record };
    Kind kind = Kind::Nothing;
    std::int64_t value = 0;

    static Points nothing() { return {}; }
    static Points add(std::int64_t v) { return {Kind::Add, v}; }
    static Points record(std::int64_t v) { return {Kind::Record, v}; }
    bool operator==(const Points&) const = default;
};

// An open page as the extractions see it. Tables, rows and columns count
// from 1; a missing cell or link reads as the empty text.
class RankPage {
public:
    virtual ~RankPage() = default;
    virtual std::string cellText(int table, int row, int column) const = 0;
    virtual std::string pageText() const = 0;
    virtual std::string linkUrl(const std::string& text, int index) const = 0;
    // The address the page was finally read from.
    virtual std::string url() const = 0;
};

enum class Extraction {
    SingleCell,
    DaysSinceNews,
    RankChange,
    FundCount,
    GuruAverage,
    SmartSelect,
    Broker,
};

enum class ProgressOrder {
    ShowThenCount,
    CountThenShow,
};

struct Cell {
    int table = 0, row = 0, column = 0;
};

struct RankSource {
    int index;                  // the source's Rank box
    std::string_view caption;   // that box's caption
    std::string_view host;
    std::string_view before;    // path and query before the ticker
    std::string_view after;     // text after the ticker
    Extraction extraction;
    Cell cell;                  // the single-cell sources' cell
    ProgressOrder progress;
    bool clearsProgress;        // the progress text is emptied when the loop ends
    bool precheck;              // the ticker may be skipped or replaced (SmartSelect)
};

// All seventeen, in the order a ranking run takes them.
const std::array<RankSource, 17>& rankSources();
const RankSource* rankSourceByIndex(int index);

// The fund-count page walk's table positions, as the form holds them while
// that source runs.
struct FundWalk {
    Cell first;           // first holding is at row first.row + 1, then every rowStep rows
    int rowStep = 0;
    bool paging = false;
    Cell next;            // the cell that holds the next-page link
    std::string nextText; // the word that marks a next-page link
};
const FundWalk& fundWalk();

// ---- Extractions -------------------------------------------------------

Points singleCell(const RankPage& page, Cell cell);

// `now` is the present moment as a day number (see newsdate.h).
Points daysSinceNews(const RankPage& page, double now);
// Days since news in two halves: what the page says, and the points that
// gives at a given moment. A page fetched ahead is read at once, its days
// counted when the ticker's turn comes.
struct NewsReading {
    Points points;                 // when the page has no dated headline
    std::optional<double> latest;  // the latest headline's day number
};
NewsReading readNews(const RankPage& page);
Points newsPoints(const NewsReading& reading, double now);

Points rankChange(const RankPage& page);

// Opens a further page of the fund-count walk; nullptr when it does not open.
// The page it returns stays valid until the next call.
using OpenFurther = std::function<const RankPage*(const std::string& url)>;
// Tested between pages: true ends the walk with the count so far.
using Cancelled = std::function<bool()>;
Points fundCount(const RankPage& first, const FundWalk& walk, const OpenFurther& open,
                 const Cancelled& cancelled = {});

// The fund-count walk one page at a time, for pages fetched ahead.
class FundTally {
public:
    FundTally(const FundWalk& walk, const std::string& firstUrl);
    // Counts the holdings of `page`; returns the address of the page to read
    // next, or the empty text when the walk ends here.
    std::string count(const RankPage& page);
    // A next page was opened from `url` and read from `finalUrl`.
    void opened(const std::string& url, const std::string& finalUrl);
    Points points() const { return Points::record(count_); }

private:
    FundWalk walk_;
    std::int64_t count_ = 0;
    int pagesRead_ = 1;
    std::vector<std::string> visited_;
};

Points guruAverage(const RankPage& page);

// The text SmartSelect's address carries instead of the ticker; nullopt when
// the ticker is not eligible (then it gets no page).
std::optional<std::string> smartSelectCode(std::string_view ticker);
Points smartSelectAverage(const RankPage& page);

Points brokerRecommendation(const RankPage& page);

} // namespace veltrop
