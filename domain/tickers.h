#pragma once
// The ticker table every command works on: up to 500 tickers, each with the
// score the ranking gives it.
#include <array>
#include <cstdint>
#include <string>
#include <variant>

namespace veltrop {

// A count of tickers, sources or pages. The old program kept its counts in
// 16 bits and so does this one, on purpose: none outgrows it (500 tickers
// times 17 sources is 8,500 pages), and a list file or page that claimed
// more would be cut at 500 tickers first.
using Count = std::int16_t;
// A whole number that can outgrow 16 bits: a score summed over sources, a
// typed price or volume limit. Wide enough that nothing wraps or traps.
using Whole = std::int64_t;

// A cell of the ticker table: empty, a text or a number.
using CellValue = std::variant<std::monostate, std::string, double>;
bool isEmpty(const CellValue& v);
std::string cellText(const CellValue& v);  // numbers in plain decimal form
// The number a cell holds: a number as it is, a text by its leading number,
// nothing as 0.
double cellNumber(const CellValue& value);

inline constexpr int maxTickers = 500;

// Rows 1 to the count hold ticker (column 0) and score (column 1); row 0 is
// never used, so a row's number is the ticker's place in the list.
using TickerTable = std::array<std::array<CellValue, 2>, maxTickers + 1>;

} // namespace veltrop
