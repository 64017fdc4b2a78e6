#pragma once
// The ticker list every command works on: up to 500 tickers, each with the
// score the ranking gives it.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace veltrop {

// A count of tickers, sources or pages: wide enough for more sources and
// further pages than any run has today.
using Count = int;
// A whole number that can outgrow 16 bits: a score summed over sources, a
// typed price or volume limit. Wide enough that nothing wraps or traps.
using Whole = std::int64_t;

// A score of the ticker list: empty, a text or a number.
using CellValue = std::variant<std::monostate, std::string, double>;
bool isEmpty(const CellValue& v);
std::string cellText(const CellValue& v);  // numbers in plain decimal form
// The number a cell holds: a number as it is, a text by its leading number,
// nothing as 0.
double cellNumber(const CellValue& value);

inline constexpr int maxTickers = 500;

// A ticker of the list and the score the ranking gives it, empty until a page
// scores it.
struct ListedTicker {
    std::string ticker;
    CellValue score;
};

// The ticker list every command works on, in list order; it takes no more
// than 500 tickers.
class TickerList {
public:
    Count size() const { return Count(rows_.size()); }
    bool empty() const { return rows_.empty(); }
    bool full() const { return size() >= maxTickers; }
    // Appends `ticker` with no score; a full list takes no more and says so.
    bool add(std::string ticker);
    void clear() { rows_.clear(); }

    ListedTicker& operator[](Count i) { return rows_[std::size_t(i)]; }
    const ListedTicker& operator[](Count i) const { return rows_[std::size_t(i)]; }
    auto begin() { return rows_.begin(); }
    auto end() { return rows_.end(); }
    auto begin() const { return rows_.begin(); }
    auto end() const { return rows_.end(); }

private:
    std::vector<ListedTicker> rows_;
};

} // namespace veltrop
