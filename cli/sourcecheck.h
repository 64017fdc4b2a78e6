#pragma once
// veltrop-cli sources --check: each named source read for a few tickers, as
// a contract against its live page.
#include <iosfwd>
#include <string>
#include <vector>

namespace veltrop {
class FetchPool;
struct SourcesInEffect;
}

namespace veltrop::cli {

// One line per source and ticker (a list source: one line for its first
// page). Every rank source when `names` is empty. The exit status: 0 when
// every source found its value or its no-data phrase at least once, else 3;
// 2 when a name names no source.
int checkSources(const SourcesInEffect& in, FetchPool& engine, const std::vector<std::string>& names,
                 const std::vector<std::string>& tickers, std::ostream& out, std::ostream& err);

} // namespace veltrop::cli
