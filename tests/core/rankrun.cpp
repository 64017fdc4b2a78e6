#include "rankrun.h"

#include <gtest/gtest.h>

#include "app/windowcontroller.h"
#include "testsupport.h"

namespace veltrop::testing {

RankRunResult runRankLists(const std::vector<std::string>& tickers, std::initializer_list<int> boxes, int lookahead,
                           const std::function<void(WindowController&)>& during)
{
    RecordingDialogs dialogs;
    WindowController form(dialogs);
    RankRunResult seen;
    form.setWaitHook([&] {
        if (form.progressLabel.caption.find("to go") != std::string::npos &&
            (seen.progress.empty() || seen.progress.back() != form.progressLabel.caption))
            seen.progress.push_back(form.progressLabel.caption);
        if (seen.captions.empty() || seen.captions.back() != form.rankListsButton.caption)
            seen.captions.push_back(form.rankListsButton.caption);
        if (during)
            during(form);
    });
    form.load();
    dialogs.messages.clear();
    form.setLookahead(lookahead);
    form.setTickerList(tickers);
    for (int box : boxes)
        form.rankBoxes[box].value = 1;
    form.rankListsButton.enabled = true;
    form.click(Command::RankLists);

    for (int i = 1; i <= form.tickerCount(); ++i)
        seen.table.push_back(cellText(form.tickerTable()[i][0]) + "=" + cellText(form.tickerTable()[i][1]));
    const FlexGrid& grid = form.resultsGrid;
    for (int r = 0; r < grid.rows(); ++r)
        seen.grid.push_back(grid.textMatrix(r, 0) + "|" + grid.textMatrix(r, 1) + "|" + grid.textMatrix(r, 2) + "|" +
                            grid.picture(r, 1));
    seen.messages = dialogs.messages;
    seen.labels = form.tickersFoundLabel.caption + "|" + form.progressLabel.caption + "|" + form.statusLabel.caption;
    for (Command c : {Command::GetLists, Command::RankLists, Command::Opinion, Command::SaveList, Command::LoadList,
                      Command::ClearAll, Command::DeleteBottom})
        seen.buttons += form.button(c).caption + (form.button(c).enabled ? "+" : "-") + " ";
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
