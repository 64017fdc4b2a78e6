// Delete bottom 25% on ranked grids set up as a display leaves them.
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/form1.h"
#include "testsupport.h"

using namespace veltrop;
using veltrop::testing::WebFormTest;

namespace {

const std::string pictures = "/opt/veltrop";

std::string picture(int band) { return pictures + "/vp" + std::to_string(band) + ".bmp"; }

int bandOf(const std::string& path)
{
    for (int k = 1; k <= 17; ++k)
        if (path == picture(k))
            return k;
    return 0;
}

class Delete25 : public WebFormTest {
protected:
    void SetUp() override
    {
        WebFormTest::SetUp();
        form.apppath = pictures;
    }

    // The state a display leaves: data rows 1 to n best first with their
    // values in column 2, one empty row after them, the table to match.
    void rank(const std::vector<int>& values)
    {
        FlexGrid& g = form.MSFlexGrid1;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const int r = int(i) + 1;
            const std::string ticker = "T" + std::to_string(r);
            g.addItem("");
            g.setTextMatrix(r, 0, ticker);
            g.setTextMatrix(r, 2, std::to_string(values[i]));
            g.setCol(1);
            g.setRow(r);
            g.setCellPicture(picture(1));
            form.tickertable[r][0] = ticker;
            form.tickertable[r][1] = std::to_string(values[i]);
        }
        form.tickercount = Integer(values.size());
    }

    static std::vector<int> descending(int n)
    {
        std::vector<int> v;
        for (int i = 0; i < n; ++i)
            v.push_back(1000 - i);
        return v;
    }

    // The grid holds tickers T1 to Tn with their values, one empty row after
    // them, and the table matches it.
    void expectFirst(int n)
    {
        const FlexGrid& g = form.MSFlexGrid1;
        EXPECT_EQ(form.tickercount, n);
        ASSERT_EQ(g.rows(), n + 2);
        for (int r = 1; r <= n; ++r) {
            EXPECT_EQ(g.textMatrix(r, 0), "T" + std::to_string(r));
            EXPECT_EQ(cellText(form.tickertable[r][0]), "T" + std::to_string(r));
            EXPECT_EQ(cellText(form.tickertable[r][1]), g.textMatrix(r, 2));
            EXPECT_NE(bandOf(g.picture(r, 1)), 0) << r;
        }
        EXPECT_EQ(g.textMatrix(n + 1, 0), "");
        EXPECT_EQ(g.picture(n + 1, 1), "");
        for (int i = n + 1; i <= maxTickers; ++i)
            EXPECT_TRUE(isEmpty(form.tickertable[i][0]) && isEmpty(form.tickertable[i][1])) << i;
        EXPECT_EQ(form.Label2.caption, " " + std::to_string(n) + " tickers ranked");
    }
};

struct CutCase {
    int tickers, left;
};

TEST_F(Delete25, CutsAQuarterByCount)
{
    for (const CutCase c : {CutCase{1, 1}, {2, 1}, {3, 2}, {5, 4}, {6, 5}, {7, 6}, {8, 6}, {11, 9},
                            {12, 9}, {100, 75}, {500, 375}}) {
        SCOPED_TRACE("tickers " + std::to_string(c.tickers));
        form.clearbutton_Click();
        rank(descending(c.tickers));
        form.delete25_Click();
        expectFirst(c.left);
    }
}

TEST_F(Delete25, TwiceOnAHundredLeaves75Then57)
{
    rank(descending(100));
    form.delete25_Click();
    expectFirst(75);
    EXPECT_EQ(form.deletecount, 25);
    form.delete25_Click();
    expectFirst(57);
    EXPECT_EQ(form.deletecount, 18);
}

TEST_F(Delete25, NoTickersLeaveTheEmptyGrid)
{
    form.deletecount = 9;
    form.delete25_Click();
    expectFirst(0);
    EXPECT_EQ(form.deletecount, 9);
    EXPECT_EQ(form.MSFlexGrid1.textMatrix(0, 0), "Ticker");
}

TEST_F(Delete25, OfEqualValuesAtTheCutTheLowerOneGoes)
{
    rank({9, 8, 5, 5});
    form.delete25_Click();
    expectFirst(3);
    EXPECT_EQ(form.MSFlexGrid1.textMatrix(3, 2), "5");
}

TEST_F(Delete25, BandsAreWorkedOutAfreshOverWhatIsLeft)
{
    // Ranked through the display, one source, so the values are the scores.
    const std::vector<int> values = {40, 35, 30, 30, 22, 18, 15, 12, 12, 7};
    for (std::size_t i = 0; i < values.size(); ++i) {
        form.tickertable[i + 1][0] = "T" + std::to_string(i + 1);
        form.tickertable[i + 1][1] = double(values[i]);
    }
    form.tickercount = Integer(values.size());
    form.sourcesrun = 1;
    form.lowestvalue = 7;
    form.highestvalue = 40;
    form.displayrank();
    ASSERT_EQ(form.MSFlexGrid1.textMatrix(3, 2), "30");
    EXPECT_EQ(bandOf(form.MSFlexGrid1.picture(3, 1)), 12);

    form.clearbutton.enabled = false;
    form.getbutton.enabled = false;
    form.delete25_Click();

    expectFirst(8);
    const std::vector<int> bands = {17, 14, 11, 11, 7, 4, 2, 1};
    for (int r = 1; r <= 8; ++r) {
        EXPECT_EQ(form.MSFlexGrid1.textMatrix(r, 2), std::to_string(values[r - 1])) << r;
        EXPECT_EQ(bandOf(form.MSFlexGrid1.picture(r, 1)), bands[r - 1]) << r;
    }
    EXPECT_EQ(form.lowestvalue, 12);
    EXPECT_EQ(form.highestvalue, 40);
    EXPECT_EQ(form.valuerange, 28);
    EXPECT_EQ(form.bandwidth, 1.6470588f);
    // The buttons keep their states; the current cell is the last row filled.
    EXPECT_FALSE(form.clearbutton.enabled);
    EXPECT_FALSE(form.getbutton.enabled);
    EXPECT_TRUE(form.delete25.enabled);
    EXPECT_EQ(form.MSFlexGrid1.row(), 8);
    EXPECT_EQ(form.MSFlexGrid1.col(), 1);
}

TEST_F(Delete25, ASingleTickerStaysWithBand1)
{
    rank({50});
    form.MSFlexGrid1.setCellPicture(picture(17));
    form.delete25_Click();
    expectFirst(1);
    EXPECT_EQ(bandOf(form.MSFlexGrid1.picture(1, 1)), 1);
}

} // namespace

TEST_F(Delete25, AScoreTooLargeForItsTypeKeepsTheRangeWhole)
{
    // A page cell such as "1e999" scores the largest whole number; with a
    // negative score beside it the range must not wrap.
    rank(descending(6));
    const std::string largest = std::to_string(std::numeric_limits<std::int64_t>::max());
    form.MSFlexGrid1.setTextMatrix(1, 2, largest);
    form.tickertable[1][1] = largest;
    for (int r : {5, 6}) {
        form.MSFlexGrid1.setTextMatrix(r, 2, "-5");
        form.tickertable[r][1] = std::string("-5");
    }
    form.delete25_Click();
    EXPECT_GT(form.valuerange, 0);
    EXPECT_EQ(form.tickercount, 5);
    EXPECT_EQ(bandOf(form.MSFlexGrid1.picture(1, 1)), 17);
}
