#pragma once
// How the command line names sources and writes its results.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lists/getlists.h"
#include "rank/rankrun.h"
#include "results/results.h"

namespace veltrop::cli {

// A source's name on the command line: its caption in lower case, every run
// of characters other than letters and digits one "-", none at either end:
// "BC - Overall Perf." is "bc-overall-perf".
std::string nameOf(std::string_view caption);

// The indices into `captions` that `wanted` names, in the captions' order:
// a name, a caption in any letter case, or "all". nullopt, with the word
// not understood in `unknown`, when one names none.
std::optional<std::vector<std::size_t>> pick(std::span<const std::string> captions,
                                             const std::vector<std::string>& wanted, std::string& unknown);

// The rows in aligned columns, for a person.
std::string table(const std::vector<RankedRow>& rows);
// The rows, the messages and the sources' reports as one JSON object.
std::string json(const std::vector<RankedRow>& rows, const std::vector<std::string>& messages,
                 const std::vector<SourceReport>& sources);
// The sources' reports in aligned columns, for a person.
std::string reportTable(const std::vector<SourceReport>& sources);
std::string reportTable(const std::vector<ListReport>& lists);

} // namespace veltrop::cli
