#pragma once
// Opinion: the written analyst report for one ticker, cut out of the report
// site's interpretive-text page.
#include <optional>
#include <string>

#include "domain/catalogue.h"
#include "web/pagefetcher.h"

namespace veltrop {

// The report for `ticker`, read with `fetcher` from `page`: the text between
// its markers ("Snapshot" and "The above report" on the built-in page), or
// "None found" when the page has none; nullopt when the page does not open.
std::optional<std::string> fetchOpinion(PageFetcher& fetcher, const std::string& ticker,
                                        const OpinionEntry& page = *builtinCatalogue().opinion);

} // namespace veltrop
