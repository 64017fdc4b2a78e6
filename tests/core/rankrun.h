#pragma once
// One whole Rank Lists run through the window state, and what it leaves, for
// tests that compare a run on a troubled route with one on a clean route.
#include <initializer_list>
#include <string>
#include <vector>

namespace veltrop::testing {

struct RankRunResult {
    std::vector<std::string> table;     // "ticker=score" of rows 1..tickercount
    std::vector<std::string> grid;      // "text|text|text|picture" of every row
    std::vector<std::string> messages;  // message boxes, in order
    std::string labels;                 // Label1|Label2|Label3
    int sourcesrun = 0;
};

// A fresh form on whatever route http_proxy names runs Rank Lists over
// `tickers` with the rank boxes `boxes` ticked.
RankRunResult runRankLists(const std::vector<std::string>& tickers, std::initializer_list<int> boxes);

// Compares two runs field by field, so a failure shows where they part.
void expectSameRun(const RankRunResult& expected, const RankRunResult& actual);

} // namespace veltrop::testing
