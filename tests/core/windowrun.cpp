#include "windowrun.h"

#include <gtest/gtest.h>

#include "app/windowcontroller.h"
#include "testsupport.h"

namespace veltrop::testing {

RankRunResult runRankLists(const std::vector<std::string>& tickers, std::initializer_list<int> boxes, int lookahead,
                           const std::function<void(WindowController&)>& during)
{
    RecordingDialogs dialogs;
    WindowController window(dialogs);
    RankRunResult seen;
    window.setTurnHook([&] {
        if (window.progressLabel.caption.find("to go") != std::string::npos &&
            (seen.progress.empty() || seen.progress.back() != window.progressLabel.caption))
            seen.progress.push_back(window.progressLabel.caption);
        if (seen.captions.empty() || seen.captions.back() != window.rankListsButton.caption)
            seen.captions.push_back(window.rankListsButton.caption);
        if (during)
            during(window);
    });
    window.load();
    dialogs.messages.clear();
    window.setLookahead(lookahead);
    window.setTickerList(tickers);
    for (int box : boxes)
        window.rankBoxes[box].value = 1;
    window.rankListsButton.enabled = true;
    window.click(Command::RankLists);

    for (int i = 1; i <= window.tickerList().size(); ++i)
        seen.table.push_back(window.tickerList()[i - 1].ticker + "=" + cellText(window.tickerList()[i - 1].score));
    const ResultsGrid& grid = window.resultsGrid;
    for (int r = 0; r < grid.rows(); ++r)
        seen.grid.push_back(grid.text(r, 0) + "|" + grid.text(r, 1) + "|" + grid.text(r, 2) + "|" +
                            grid.picture(r, 1));
    seen.messages = dialogs.messages;
    seen.labels = window.tickersFoundLabel.caption + "|" + window.progressLabel.caption + "|" + window.statusLabel.caption;
    for (int box : boxes) {
        const std::string& tooltip = window.rankBoxes[box].tooltip;
        seen.reports.push_back(tooltip.substr(tooltip.find('\n') + 1));
    }
    for (Command c : {Command::GetLists, Command::RankLists, Command::Opinion, Command::SaveList, Command::LoadList,
                      Command::ClearAll, Command::DeleteBottom})
        seen.buttons += window.button(c).caption + (window.button(c).enabled ? "+" : "-") + " ";
    return seen;
}

void expectSameRun(const RankRunResult& expected, const RankRunResult& actual)
{
    EXPECT_EQ(actual.table, expected.table);
    EXPECT_EQ(actual.grid, expected.grid);
    EXPECT_EQ(actual.messages, expected.messages);
    EXPECT_EQ(actual.labels, expected.labels);
    EXPECT_EQ(actual.buttons, expected.buttons);
}

} // namespace veltrop::testing
