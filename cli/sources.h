#pragma once
// veltrop-cli sources: the sources in effect, the built-in catalogue, or a
// check of a catalogue file.
#include <iosfwd>
#include <string>
#include <vector>

namespace veltrop {
struct SourcesInEffect;
}

namespace veltrop::cli {

struct SourcesOptions {
    bool dump = false;      // print the built-in catalogue
    std::string checkFile;  // check this file alone; empty: none
    bool check = false;     // read the named sources' pages for `tickers`
    std::vector<std::string> names, tickers;
};

// Lists the sources `in` effect unless told to dump or check. The exit
// status: 0, or 2 when the file checked is no valid catalogue.
int runSources(const SourcesOptions& options, const SourcesInEffect* in, std::ostream& out, std::ostream& err);

} // namespace veltrop::cli
