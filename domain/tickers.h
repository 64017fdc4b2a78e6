#pragma once
// The ticker table every command works on: up to 500 tickers, each with the
// score the ranking gives it.
#include <array>
#include <cstdint>
#include <string>
#include <variant>

namespace veltrop {

// Whole numbers. The design keeps most of them in 16 bits; values that can
// outgrow that (typed thresholds, summed scores) are kept wider, so nothing
// wraps or traps, while every value that fits behaves the same.
using Integer = std::int16_t;
using Long = std::int32_t;
using Wide = std::int64_t;

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
