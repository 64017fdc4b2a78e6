#include "rankrun.h"

#include <gtest/gtest.h>

#include "app/form1.h"
#include "testsupport.h"

namespace veltrop::testing {

RankRunResult runRankLists(const std::vector<std::string>& tickers, std::initializer_list<int> boxes, int lookahead,
                           const std::function<void(Form1&)>& during)
{
    RecordingDialogs dialogs;
    Form1 form(dialogs);
    RankRunResult seen;
    form.setWaitHook([&] {
        if (form.Label2.caption.find("to go") != std::string::npos &&
            (seen.progress.empty() || seen.progress.back() != form.Label2.caption))
            seen.progress.push_back(form.Label2.caption);
        if (seen.captions.empty() || seen.captions.back() != form.rankbutton.caption)
            seen.captions.push_back(form.rankbutton.caption);
        if (during)
            during(form);
    });
    form.Form_Load();
    dialogs.messages.clear();
    form.lookahead = lookahead;
    for (std::size_t i = 0; i < tickers.size(); ++i)
        form.tickertable[i + 1][0] = tickers[i];
    form.tickercount = Integer(tickers.size());
    for (int box : boxes)
        form.Rank[box].value = 1;
    form.rankbutton.enabled = true;
    form.click(Command::RankLists);

    for (int i = 1; i <= form.tickercount; ++i)
        seen.table.push_back(cellText(form.tickertable[i][0]) + "=" + cellText(form.tickertable[i][1]));
    const FlexGrid& grid = form.MSFlexGrid1;
    for (int r = 0; r < grid.rows(); ++r)
        seen.grid.push_back(grid.textMatrix(r, 0) + "|" + grid.textMatrix(r, 1) + "|" + grid.textMatrix(r, 2) + "|" +
                            grid.picture(r, 1));
    seen.messages = dialogs.messages;
    seen.labels = form.Label1.caption + "|" + form.Label2.caption + "|" + form.Label3.caption;
    for (Command c : {Command::GetLists, Command::RankLists, Command::Opinion, Command::SaveList, Command::LoadList,
                      Command::ClearAll, Command::Delete25})
        seen.buttons += form.button(c).caption + (form.button(c).enabled ? "+" : "-") + " ";
    seen.sourcesrun = form.sourcesrun;
    return seen;
}

void expectSameRun(const RankRunResult& expected, const RankRunResult& actual)
{
    EXPECT_EQ(actual.table, expected.table);
    EXPECT_EQ(actual.grid, expected.grid);
    EXPECT_EQ(actual.messages, expected.messages);
    EXPECT_EQ(actual.labels, expected.labels);
    EXPECT_EQ(actual.buttons, expected.buttons);
    EXPECT_EQ(actual.sourcesrun, expected.sourcesrun);
}

} // namespace veltrop::testing
