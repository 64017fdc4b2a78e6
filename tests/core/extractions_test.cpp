// The rank sources' extractions on hand-written pages.
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "rank/newsdate.h"
#include "rank/locators.h"
#include "rank/ranksources.h"

using namespace veltrop;

namespace {

// A page given by its cells, its text and its links.
struct FakePage : PageView {
    std::map<std::tuple<int, int, int>, std::string> cells;
    std::string text = "News Headlines";
    std::map<std::string, std::string> links;
    std::string address = "http://example.test/1";

    std::string cellText(int t, int r, int c) const override
    {
        auto it = cells.find({t, r, c});
        return it == cells.end() ? std::string() : it->second;
    }
    bool hasCell(int t, int r, int c) const override { return cells.contains({t, r, c}); }
    std::string pageText() const override { return text; }
    std::optional<std::string> textBetween(const std::string&, const std::string&) const override
    {
        return std::nullopt;
    }
    const std::string& source() const override { return text; }
    std::string linkUrl(const std::string& linkText, int index) const override
    {
        auto it = links.find(linkText);
        return index == 1 && it != links.end() ? it->second : std::string();
    }
    std::string url() const override { return address; }
};

std::string describe(const Points& p)
{
    const char* kind = p.kind == Points::Kind::Nothing ? "nothing" : p.kind == Points::Kind::Add ? "add" : "record";
    return std::string(kind) + " " + std::to_string(p.value);
}

} // namespace

TEST(SingleCell, LeadingNumberAboveZeroIsRecordedFloored)
{
    struct Row {
        const char* text;
        Points expected;
    };
    const Row rows[] = {
        {"57", Points::record(57)}, {"12.9", Points::record(12)}, {"41 pts", Points::record(41)},
        {" 12 ", Points::record(12)}, {"0.5", Points::record(0)}, {"0", Points::add(0)},
        {"-3", Points::add(0)},      {"", Points::add(0)},        {"n/a", Points::add(0)},
        {"1,234", Points::record(1)},
    };
    for (const Row& row : rows) {
        FakePage page;
        page.cells[{14, 2, 2}] = row.text;
        EXPECT_EQ(describe(singleCell(page, {14, 2, 2})), describe(row.expected)) << '"' << row.text << '"';
    }
    FakePage other;
    other.cells[{14, 2, 3}] = "57";
    EXPECT_EQ(singleCell(other, {14, 2, 2}), Points::add(0)) << "a missing cell reads as empty";
}

TEST(DaysSinceNews, PagesWithoutHeadlines)
{
    struct Row {
        const char* text;
        Points expected;
    };
    const Row rows[] = {
        {"no news for this symbol\nNews Headlines", Points::add(120)},
        {"NO NEWS found", Points::add(120)},
        {"No News", Points::add(120)},
        {"Quotes\nThere is no news today\nNews Headlines", Points::add(0)},
        {"Quotes\nSymbol not found\nNews Headlines", Points::add(0)},
        {"Quotes only, nothing else", Points::add(0)},
    };
    for (const Row& row : rows) {
        FakePage page;
        page.text = row.text;
        page.cells[{14, 3, 1}] = "1/1/2000";
        EXPECT_EQ(describe(newsPoints(readNews(page), dayNumber(2001, 1, 1))), describe(row.expected)) << row.text;
    }
}

TEST(DaysSinceNews, DaysFromTheLatestHeadline)
{
    const double now = dayNumber(2000, 12, 15, 14, 30);
    struct Row {
        const char* cell;
        Points expected;
    };
    const Row rows[] = {
        {"12/5/2000", Points::record(10)},          // ten days ago at midnight
        {"12/15/2000 2:00 PM", Points::add(0)},     // half an hour old
        {"12/16/2000", Points::add(0)},             // tomorrow
        {"12/14/2000 14:30", Points::record(1)},
        {"Dec 1, 2000", Points::record(14)},
        {"not a date", Points::nothing()},
        {"13/45/2000", Points::nothing()},
        {"Feb 30, 2000", Points::nothing()},
        {"", Points::nothing()},
    };
    for (const Row& row : rows) {
        FakePage page;
        page.cells[{14, 3, 1}] = row.cell;
        EXPECT_EQ(describe(newsPoints(readNews(page), now)), describe(row.expected)) << row.cell;
    }
}

TEST(DaysSinceNews, BothMomentsAreHeldInSinglePrecision)
{
    // Near day 36900 a float steps in 1/256 of a day (5.6 minutes): a
    // headline read a minute short of a day old counts as a whole day.
    const double now = dayNumber(2001, 1, 10, 0, 1);
    FakePage page;
    page.cells[{14, 3, 1}] = "1/9/2001 0:02";
    const float diff = float(now) - float(dayNumber(2001, 1, 9, 0, 2));
    ASSERT_GE(diff, 1.0f) << "the premise of this case";
    EXPECT_EQ(newsPoints(readNews(page), now), Points::record(1));
}

TEST(NewsDate, FormsRead)
{
    struct Row {
        const char* text;
        int y, m, d, h, mi, s;
    };
    const Row rows[] = {
        {"12/5/2000", 2000, 12, 5, 0, 0, 0},
        {"1/31/99", 1999, 1, 31, 0, 0, 0},
        {"1/31/29", 2029, 1, 31, 0, 0, 0},
        {"1/31/30", 1930, 1, 31, 0, 0, 0},
        {"02/29/2000", 2000, 2, 29, 0, 0, 0},
        {"Dec 5, 2000", 2000, 12, 5, 0, 0, 0},
        {"december 5, 2000", 2000, 12, 5, 0, 0, 0},
        {"SEPTEMBER 30, 1999", 1999, 9, 30, 0, 0, 0},
        {"Sept. 3, 2001", 2001, 9, 3, 0, 0, 0},
        {"5-Dec-2000", 2000, 12, 5, 0, 0, 0},
        {"05-dec-2000", 2000, 12, 5, 0, 0, 0},
        {"2000-12-05", 2000, 12, 5, 0, 0, 0},
        {"12/5/2000 3:45 PM", 2000, 12, 5, 15, 45, 0},
        {"12/5/2000 12:05am", 2000, 12, 5, 0, 5, 0},
        {"12/5/2000 12:05 PM", 2000, 12, 5, 12, 5, 0},
        {"Dec 5, 2000 09:30:15", 2000, 12, 5, 9, 30, 15},
        {"2000-12-05 23:59:59", 2000, 12, 5, 23, 59, 59},
        {"  5-Dec-2000 1:00 AM  ", 2000, 12, 5, 1, 0, 0},
    };
    for (const Row& row : rows) {
        const std::optional<double> read = readNewsDate(row.text);
        ASSERT_TRUE(read.has_value()) << row.text;
        EXPECT_DOUBLE_EQ(*read, dayNumber(row.y, row.m, row.d, row.h, row.mi, row.s)) << row.text;
    }
}

TEST(NewsDate, TextsThatAreNoDate)
{
    for (const char* text : {"", "n/a", "13/45/2000", "Feb 30, 2001", "2/29/1900", "Foo 3, 2000", "12/5",
                             "12/5/2000 25:00", "12/5/2000 13:00 PM", "12/5/2000 3:7", "12/5/2000 tomorrow",
                             "32-Jan-2000", "2000-13-01", "0/1/2000", "Dec 5 2000x"})
        EXPECT_FALSE(readNewsDate(text).has_value()) << '"' << text << '"';
}

TEST(NewsDate, DayNumbersCountFromTheEndOf1899)
{
    EXPECT_EQ(dayNumber(1899, 12, 30), 0.0);
    EXPECT_EQ(dayNumber(1900, 1, 1, 12), 2.5);
    EXPECT_EQ(dayNumber(2000, 1, 1), 36526.0);
    EXPECT_EQ(dayNumber(2026, 12, 8, 6), 46364.25);
}

TEST(RankChange, AverageChangeOfTheEightRanks)
{
    const int rows[] = {6, 8, 10, 12, 13, 14, 15, 16};
    FakePage up;
    FakePage down;
    for (int r : rows) {
        up.cells[{12, r, 3}] = "50";
        up.cells[{12, r, 2}] = "54";
        down.cells[{12, r, 3}] = "10";
        down.cells[{12, r, 2}] = r == 6 ? "6" : "10";
    }
    EXPECT_EQ(rankChange(up), Points::record(4));
    EXPECT_EQ(rankChange(down), Points::record(-1)) << "-4 / 8 is -0.5, whose floor is -1";

    FakePage none;
    none.text = "NO MATCHING SYMBOLS";
    none.cells = up.cells;
    EXPECT_EQ(rankChange(none), Points::nothing());
}

namespace {

// Pages of a fund-count walk, opened by address.
struct FundSite {
    std::map<std::string, FakePage> pages;
    std::vector<std::string> opened;

    FakePage& page(const std::string& url, std::initializer_list<const char*> holdings, const std::string& next = {})
    {
        FakePage& p = pages[url];
        p.address = url;
        int row = 3;
        for (const char* h : holdings) {
            p.cells[{11, row, 3}] = h;
            row += 2;
        }
        if (!next.empty()) {
            p.cells[{11, 53, 2}] = "Next 25";
            p.links["Next 25"] = next;
        }
        return p;
    }
    // The walk as a run reads it: each next page opened as its link is found.
    Points walk(const std::string& first)
    {
        TableWalker walker(fundWalk(), isHolding);
        std::int64_t holdings = 0;
        for (std::string url = first;;) {
            const TableWalker::Rows rows = walker.read(pages.at(url), url);
            holdings += std::int64_t(rows.cells.size());
            if (rows.next.empty())
                break;
            opened.push_back(rows.next);
            if (!pages.contains(rows.next))
                break;
            url = rows.next;
        }
        return Points::record(holdings);
    }
};

TEST(Extractions, AnOwnReaderTellsAPageWithoutWhatItLooksFor)
{
    // Each row: a page with what the reader looks for, one whose site says
    // it has nothing, and one with neither, which is the one missed.
    const struct {
        Extraction kind;
        std::tuple<int, int, int> cell;  // (0, 0, 0): the reader looks for a text
        std::string text, noData;
    } rows[] = {
        {Extraction::DaysSinceNews, {0, 0, 0}, "News Headlines", "no news today"},
        {Extraction::RankChange, {12, 16, 3}, "", "No Matching Symbols"},
        {Extraction::GuruAverage, {56, 3, 2}, "", "no Guru covers it"},
        {Extraction::SmartSelect, {1, 5, 18}, "", "not currently rated"},
        {Extraction::Broker, {21, 2, 10}, "", "No Reports"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.kind));
        RankSource source;
        source.extraction = row.kind;
        const auto missedOn = [&](FakePage page) {
            const auto reader = readerFor(source);
            reader->read(page, page.address);
            return reader->missed();
        };
        FakePage with, saysNothing, neither;
        with.text = saysNothing.text = neither.text = "";
        if (std::get<0>(row.cell) > 0)
            with.cells[row.cell] = "5";
        else
            with.text = row.text;
        saysNothing.text = row.noData;
        EXPECT_FALSE(missedOn(with));
        EXPECT_FALSE(missedOn(saysNothing));
        EXPECT_TRUE(missedOn(neither));
    }
    RankSource funds;
    funds.extraction = Extraction::FundCount;
    EXPECT_EQ(lookedFor(funds), "") << "holdings may rightly be none: the fund count never warns";
    RankSource news;
    news.extraction = Extraction::DaysSinceNews;
    EXPECT_EQ(lookedFor(news), "the text \"News Headlines\"");
}

} // namespace

TEST(FundCount, CountsHoldingsOverEveryPage)
{
    FundSite site;
    site.page("p1", {"12", "7", "3", "0", "5"});
    EXPECT_EQ(site.walk("p1"), Points::record(3));

    site.page("a1", {"1,200", "300", "7"}, "a2");
    site.page("a2", {"9", "4"});
    EXPECT_EQ(site.walk("a1"), Points::record(5)) << "counting goes on from row 3 of the next page";

    site.page("empty", {});
    EXPECT_EQ(site.walk("empty"), Points::record(0)) << "no holdings still records";

    site.page("b1", {"1", "2"}, "missing");
    EXPECT_EQ(site.walk("b1"), Points::record(2)) << "a next page that does not open keeps the count so far";
}

TEST(FundCount, TheWalkEnds)
{
    FundSite site;
    site.page("c1", {"1"}, "c2");
    site.page("c2", {"1"}, "c1");
    EXPECT_EQ(site.walk("c1"), Points::record(2));
    EXPECT_EQ(site.opened, std::vector<std::string>{"c2"}) << "a link back to a page read ends the walk";

    // An endless chain: each page links to a new one.
    for (int i = 1; i <= 150; ++i)
        site.page("e" + std::to_string(i), {"1"}, "e" + std::to_string(i + 1));
    site.opened.clear();
    EXPECT_EQ(site.walk("e1"), Points::record(100));
    EXPECT_EQ(site.opened.size(), 99u);
}

TEST(GuruAverage, NineScoresAveragedDown)
{
    FakePage page;
    int score = 50;
    for (int t : {23, 24, 25, 28, 29, 30, 33, 34, 56})
        page.cells[{t, 3, 2}] = std::to_string(score++) + "%";
    EXPECT_EQ(guruAverage(page), Points::record(54));  // 486 / 9
    page.cells[{56, 3, 2}] = "n/a";
    EXPECT_EQ(guruAverage(page), Points::record(47));  // 428 / 9 = 47.6
    page.text = "There is no guru analysis";
    EXPECT_EQ(guruAverage(page), Points::nothing());
}

TEST(SmartSelect, EligibilityAndEncoding)
{
    struct Row {
        const char* ticker;
        std::optional<std::string> code;
    };
    const Row rows[] = {
        {"abc", "C3E4G5"}, {"XYZ", "d3f4h5"}, {"QRST", "S3U4W5Y6"}, {" ibm ", "K3E4Q5"}, {"", ""},
        {"brk-b", std::nullopt}, {"ABCDE", std::nullopt}, {"A*B", std::nullopt}, {"A,B", std::nullopt},
        {"BRK.B", std::nullopt}, {"brk", "D3U4O5"}, {"T.A", "V314E5"},
        // U is the lowest letter of the larger shift, T the highest of the other.
        {"U", "a3"}, {"t", "V3"}, {"UT", "a3W4"},
        // Characters of the Western code page count one byte each, upper-cased
        // there; one it lacks cannot be sent.
        {"\xC3\xA9", "\xCB" "3"}, {"\xC3\x84" "b", "\xC6" "3E4"}, {"\xE2\x82\xAC", "\x82" "3"},
        {"\xC3\xBF", "\xA1" "3"}, {"\xCE\xA9", std::nullopt}, {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(smartSelectCode(row.ticker), row.code) << '"' << row.ticker << '"';
}

TEST(SmartSelect, TwoNumbersAndThreeGrades)
{
    struct Row {
        const char* grades[3];
        Points expected;
    };
    const Row rows[] = {
        {{"A", "B", "C"}, Points::record(82)},   // (90 + 80 + 100 + 80 + 60) / 5
        {{" A ", "B", "C"}, Points::record(82)}, // blanks trimmed
        {{"a", "B", "C"}, Points::record(62)},   // lower case counts 0
        {{"A+", "B", "C"}, Points::record(62)},
        {{"D", "E", "F"}, Points::record(48)},   // 240 / 5
    };
    for (const Row& row : rows) {
        FakePage page;
        page.cells[{1, 5, 2}] = "90";
        page.cells[{1, 5, 6}] = "80";
        page.cells[{1, 5, 10}] = row.grades[0];
        page.cells[{1, 5, 14}] = row.grades[1];
        page.cells[{1, 5, 18}] = row.grades[2];
        EXPECT_EQ(describe(smartSelectAverage(page)), describe(row.expected)) << row.grades[0];
    }
    FakePage none;
    none.text = "This stock is NOT CURRENTLY rated";
    EXPECT_EQ(smartSelectAverage(none), Points::nothing());
}

TEST(Broker, RecommendationByExactMatch)
{
    struct Row {
        const char* text;
        Points expected;
    };
    const Row rows[] = {
        {"Strong Buy", Points::record(100)}, {" Buy ", Points::record(75)}, {"Hold", Points::record(50)},
        {"Sell", Points::record(25)},        {"Strong Sell", Points::record(0)}, {"buy", Points::record(0)},
        {"", Points::record(0)},             {"STRONG BUY", Points::record(0)},
    };
    for (const Row& row : rows) {
        FakePage page;
        page.cells[{21, 2, 10}] = row.text;
        EXPECT_EQ(describe(brokerRecommendation(page)), describe(row.expected)) << '"' << row.text << '"';
    }
    FakePage none;
    none.text = "no reports for this ticker";
    EXPECT_EQ(brokerRecommendation(none), Points::nothing());
}
