#include "rankrun.h"

#include <gtest/gtest.h>

#include "app/form1.h"
#include "testsupport.h"

namespace veltrop::testing {

RankRunResult runRankLists(const std::vector<std::string>& tickers, std::initializer_list<int> boxes)
{
    RecordingDialogs dialogs;
    Form1 form(dialogs);
    form.setWaitHook([] {});
    form.Form_Load();
    dialogs.messages.clear();
    for (std::size_t i = 0; i < tickers.size(); ++i)
        form.tickertable[i + 1][0] = tickers[i];
    form.tickercount = Integer(tickers.size());
    for (int box : boxes)
        form.Rank[box].value = 1;
    form.rankbutton.enabled = true;
    form.click(Command::RankLists);

    RankRunResult seen;
    for (int i = 1; i <= form.tickercount; ++i)
        seen.table.push_back(cellText(form.tickertable[i][0]) + "=" + cellText(form.tickertable[i][1]));
    const FlexGrid& grid = form.MSFlexGrid1;
    for (int r = 0; r < grid.rows(); ++r)
        seen.grid.push_back(grid.textMatrix(r, 0) + "|" + grid.textMatrix(r, 1) + "|" + grid.textMatrix(r, 2) + "|" +
                            grid.picture(r, 1));
    seen.messages = dialogs.messages;
    seen.labels = form.Label1.caption + "|" + form.Label2.caption + "|" + form.Label3.caption;
    seen.sourcesrun = form.sourcesrun;
    return seen;
}

void expectSameRun(const RankRunResult& expected, const RankRunResult& actual)
{
    EXPECT_EQ(actual.table, expected.table);
    EXPECT_EQ(actual.grid, expected.grid);
    EXPECT_EQ(actual.messages, expected.messages);
    EXPECT_EQ(actual.labels, expected.labels);
    EXPECT_EQ(actual.sourcesrun, expected.sourcesrun);
}

} // namespace veltrop::testing
