#pragma once
// The rank sources as the catalogue gives them, and the extractions that turn one page
// of a source into points for one ticker. An extraction reads its page only
// through the read-only PageView and touches no form state, so it gives the
// same result whether the page was read just now or fetched well ahead.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "domain/catalogue.h"
#include "web/pageplan.h"
#include "web/pageview.h"
#include "web/tablewalk.h"

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

enum class Extraction {
    SingleCell,
    DaysSinceNews,
    RankChange,
    FundCount,
    GuruAverage,
    SmartSelect,
    Broker,
    Located,  // a catalogue locator, its no-data phrase and its grades
};

enum class ProgressOrder {
    ShowThenCount,
    CountThenShow,
};

struct RankSource {
    std::string name;           // the catalogue's name for it
    std::string caption;        // its box's caption
    std::string before;         // the address before the ticker
    std::string after;          // the address after the ticker
    Extraction extraction = Extraction::SingleCell;
    Cell cell;                  // the single-cell sources' cell
    Locator locator;            // Located: where the value stands
    std::vector<std::pair<std::string, std::int64_t>> grades;  // Located: text to points; empty: the leading number
    std::string noData;         // Located: a page that carries it leaves the score untouched
    ProgressOrder progress = ProgressOrder::ShowThenCount;
    bool clearsProgress = true; // the progress text is emptied when the loop ends
    bool precheck = false;      // the ticker may be skipped or replaced (SmartSelect)
};

// The rank sources of `catalogue`, in the order a ranking run takes them.
std::vector<RankSource> rankSourcesOf(const Catalogue& catalogue);
// Those of the built-in catalogue.
std::span<const RankSource> rankSources();

// The address of `source`'s page for a ticker as the table holds it: the
// ticker trimmed, or SmartSelect's code, percent-encoded between the
// source's fixed texts; nullopt when the source skips the ticker.
std::optional<std::string> rankAddress(const RankSource& source, std::string_view ticker);

// The fund-count walk's table positions, as the form holds them while that
// source runs.
const TableWalk& fundWalk();

// ---- Extractions -------------------------------------------------------

Points singleCell(const PageView& page, Cell cell);

// Days since news in two halves: what the page says, and the points that
// gives at a given moment. The page is read when it arrives, its days
// counted when the ticker's turn comes.
struct NewsReading {
    Points points;                 // when the page has no dated headline
    std::optional<double> latest;  // the latest headline's day number
};
NewsReading readNews(const PageView& page);
// `now` is the present moment as a day number (see newsdate.h).
Points newsPoints(const NewsReading& reading, double now);

Points rankChange(const PageView& page);

// The fund count's holdings rows: a holding is a row whose number is not 0.
bool isHolding(const std::string& cell);

Points guruAverage(const PageView& page);

// The bytes SmartSelect's address carries instead of the ticker, in the
// Western code page; nullopt when the ticker is not eligible (then it gets no
// page).
std::optional<std::string> smartSelectCode(std::string_view ticker);
Points smartSelectAverage(const PageView& page);

Points brokerRecommendation(const PageView& page);

// What one of the program's own readers looks for on its page, so that a
// page without it (a changed layout) can be told from one that rates
// nothing: a cell, or else a text; and the phrases by which its site says it
// has nothing for the ticker.
struct Landmark {
    std::optional<Cell> cell;
    std::string text;
    std::vector<std::string_view> noData;
};
// Nothing for the fund count, whose holdings may rightly be none.
std::optional<Landmark> landmarkOf(Extraction extraction);

// What one ticker's pages give one source. Each kind of source reads its
// page its own way (one cell, a phrase search and an average, a headline's
// date, a walk over the holdings pages); readerFor is the one place that
// knows which kind reads how.
class RankReader : public PageReader {
public:
    // The points at the ticker's turn: days since news count from `now`, the
    // present moment as a day number, as if the page had just been read.
    virtual Points points(double now) const = 0;
    // How many pages the read took.
    virtual int pagesRead() const { return 1; }
    // The page lacked what the source looks for (its layout may have
    // changed), as against a value found that gives no points.
    virtual bool missed() const { return false; }
    // The value the source found on its page, for a person checking it;
    // empty when its reader keeps none.
    virtual std::string value() const { return {}; }
};
std::shared_ptr<RankReader> readerFor(const RankSource& source);

} // namespace veltrop
