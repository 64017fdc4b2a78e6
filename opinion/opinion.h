#pragma once
// Opinion: the written analyst report for one ticker, cut out of the report
// site's interpretive-text page.
#include <optional>
#include <string>

#include "web/pagefetcher.h"

namespace veltrop {

// The report for `ticker`, read with `fetcher`: the text between its
// "Snapshot" heading and "The above report", or "None found" when the page
// has none; nullopt when the page does not open.
std::optional<std::string> fetchOpinion(PageFetcher& fetcher, const std::string& ticker);

} // namespace veltrop
