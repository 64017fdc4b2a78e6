#pragma once
// A catalogue locator read on one page: what it points at, and the points a
// value found there gives. Reading keeps no state between calls, so fetch
// workers may locate on their own pages at once.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "domain/catalogue.h"
#include "rank/ranksources.h"
#include "web/pageview.h"

namespace veltrop {

// What a locator found on one page: nothing (the page lacks what it
// points at: a layout change) or a value, which may be empty.
struct Located {
    bool found = false;
    std::string value;
    bool operator==(const Located&) const = default;
};

// Pages larger than this are not parsed as JSON or for XPath: not found.
inline constexpr std::size_t maxLocatorPage = std::size_t{16} << 20;

// An XPath's evaluation takes at most this many of libxml2's steps (about
// a second's work); one that needs more finds nothing.
inline constexpr unsigned long maxXPathSteps = 50'000'000;

// A Reader locator names a built-in reader, which reads its page itself:
// nothing found here.
Located locate(const PageView& page, const Locator& locator);

// A found value as points: by `grades` (the value, blanks trimmed, matched
// exactly; a grade found gives record(points), anything else record(0)), or
// when grades is empty by singleCell's leading-number rule (a positive
// leading number is recorded, floored; anything else add(0)). A value not
// found gives add(0), as an absent cell does for a single-cell source: the
// ticker is seen and scores nothing.
Points pointsOf(const Located& located, const std::vector<std::pair<std::string, std::int64_t>>& grades);

// What `source` looks for, as a person reads it in a warning: "table 11,
// row 2, column 4", "the pattern \"...\""; empty when its reader does not
// tell.
std::string lookedFor(const RankSource& source);

// "the page layout may have changed: WHAT is on none of its N pages" when
// `missing` is every one of the `opened` pages and at least 3 opened (fewer
// say too little); else empty.
std::string layoutWarning(const std::string& what, int missing, int opened);

} // namespace veltrop
