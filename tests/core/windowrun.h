#pragma once
// One whole Rank Lists run through the window state, and what it leaves, for
// tests that compare a run on a troubled route with one on a clean route.
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace veltrop {
class WindowController;
}

namespace veltrop::testing {

struct RankRunResult {
    std::vector<std::string> table;     // "ticker=score" of rows 1..tickercount
    std::vector<std::string> grid;      // "text|text|text|picture" of every row
    std::vector<std::string> messages;  // message boxes, in order
    std::string labels;                 // tickersFoundLabel|progressLabel|statusLabel
    std::string buttons;                // caption and +/- for enabled, of each command button
    std::vector<std::string> progress;  // every distinct progressLabel count-down text seen during the run
    std::vector<std::string> captions;  // every distinct rank button caption seen
    std::vector<std::string> reports;   // the report line of each ticked rank box, in box order
};

// A fresh window on whatever route http_proxy names runs Rank Lists over
// `tickers` with the rank boxes `boxes` ticked, reading `lookahead` pages
// ahead (0: as many as the engine allows); `during` is called whenever the
// window would get its turn.
RankRunResult runRankLists(const std::vector<std::string>& tickers, std::initializer_list<int> boxes,
                           int lookahead = 0, const std::function<void(WindowController&)>& during = {});

// Compares two runs field by field, so a failure shows where they part
// (progress and captions aside, which not every comparison wants).
void expectSameRun(const RankRunResult& expected, const RankRunResult& actual);

} // namespace veltrop::testing
