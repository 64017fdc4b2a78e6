#pragma once
// Ranked rows as text for other programs: comma-separated values as the
// command line writes them and a spreadsheet opens them, and tab-separated
// lines as a spreadsheet pastes them into cells.
#include <string>

#include "results/results.h"

namespace veltrop {

// RFC 4180: the header "ticker,score,band", CR LF after every line; a
// ticker with a comma, quote, blank or line end is quoted.
std::string rowsAsCsv(const RankedRows& rows);

// The header "Ticker<TAB>Score<TAB>Band", then a line a row, "\n" after
// every line; the ticker as it stands.
std::string rowsAsTabbed(const RankedRows& rows);

} // namespace veltrop
