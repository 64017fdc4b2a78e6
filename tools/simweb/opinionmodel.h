#pragma once
// The report site's interpretive-text page: a written analyst report per
// ticker, between a "Snapshot" heading and a closing note that begins "The
// above report". A few symbols have no report, and then the page says so
// without either marker. Everything is drawn from the market model, so a
// test can tell what any ticker's report says.
#include <string>
#include <string_view>
#include <vector>

namespace simweb {

inline constexpr std::string_view kOpinionPath = "/wsc2/Interpretive_Text";

// True when the site has a report for `symbol` as it is asked for: the site
// ignores letter case, but anything that is no ticker symbol ("IBM " with a
// blank, say) finds nothing.
bool hasOpinionReport(std::string_view symbol);

// The paragraphs of the report for `symbol`, as plain UTF-8 text; empty when
// there is no report.
std::vector<std::string> opinionParagraphs(std::string_view symbol);

// What a reader of the page finds between the two markers, trimmed: the
// paragraphs, each on a line of its own. Empty when there is no report.
std::string opinionReportText(std::string_view symbol);

} // namespace simweb
