// Locators read on indexed pages, and the points a located value gives.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rank/locators.h"
#include "web/pageindex.h"

using namespace veltrop;

namespace {

Locator cellAt(int table, int row, int column)
{
    Locator l;
    l.cell = {table, row, column};
    return l;
}
Locator between(std::string start, std::string end)
{
    return {Locator::Kind::Between, {}, std::move(start), std::move(end)};
}
Locator of(Locator::Kind kind, std::string text) { return {kind, {}, std::move(text), {}}; }

const Located none{};
Located value(std::string v) { return {true, std::move(v)}; }

const std::string table = "<table><tr><td></td><td> 42\n pts </td></tr></table>"
                          "<p>Score: 17 of 20</p><a href='/x'>go</a>";
// Each predicate reads every paragraph again: three nested take 2000^3
// of libxml2's steps, so an XPath's evaluation is bounded.
const std::string paragraphs = [] {
    std::string html;
    for (int i = 0; i < 2000; ++i)
        html += "<p>x</p>";
    return html;
}();
const std::string json = R"({"a":{"b":"AA","n":12,"f":2.5,"t":true,"z":null,"e":"","l":[1,2]}})";

struct LocateCase {
    const char* what;
    std::string page;
    Locator locator;
    Located expected;
};

TEST(Locate, FindsTheValueEachKindPointsAt)
{
    using K = Locator::Kind;
    const std::vector<LocateCase> cases = {
        {"a cell", table, cellAt(1, 1, 2), value("42 pts")},
        {"an empty cell", table, cellAt(1, 1, 1), value("")},
        {"a column the row lacks", table, cellAt(1, 1, 3), none},
        {"a table the page lacks", table, cellAt(2, 1, 1), none},
        {"text between markers", table, between("Score:", "of"), value("17")},
        {"markers with only blanks between", table, between("Score:", "17"), value("")},
        {"an end marker not there", table, between("Score:", "Rating"), none},
        {"an end marker only before the start", table, between("of 20", "Score"), none},
        {"a start marker not there", table, between("Rating", "of"), none},
        {"a regex group", table, of(K::Regex, R"(Score: (\d+))"), value("17")},
        {"a regex group that matched empty", table, of(K::Regex, "Score: 17(x?)"), value("")},
        {"a regex that matches nothing", table, of(K::Regex, R"(Rating: (\d+))"), none},
        {"a regex that does not compile", table, of(K::Regex, "(("), none},
        {"a JSON string", json, of(K::JsonPointer, "/a/b"), value("AA")},
        {"a JSON integer", json, of(K::JsonPointer, "/a/n"), value("12")},
        {"a JSON fraction", json, of(K::JsonPointer, "/a/f"), value("2.5")},
        {"a JSON boolean", json, of(K::JsonPointer, "/a/t"), value("true")},
        {"a JSON array", json, of(K::JsonPointer, "/a/l"), value("[1,2]")},
        {"a JSON array element", json, of(K::JsonPointer, "/a/l/1"), value("2")},
        {"a JSON null", json, of(K::JsonPointer, "/a/z"), value("")},
        {"an empty JSON string", json, of(K::JsonPointer, "/a/e"), value("")},
        {"a JSON member not there", json, of(K::JsonPointer, "/a/x"), none},
        {"a JSON index past the end", json, of(K::JsonPointer, "/a/l/5"), none},
        {"a JSON index that is no number", json, of(K::JsonPointer, "/a/l/x"), none},
        {"a JSON pointer that is none", json, of(K::JsonPointer, "a"), none},
        {"a JSON pointer into HTML", table, of(K::JsonPointer, "/a"), none},
        {"an XPath element, blanks folded", table, of(K::XPath, "//td[2]"), value("42 pts")},
        {"an XPath attribute", table, of(K::XPath, "//a/@href"), value("/x")},
        {"an XPath to an empty element", table, of(K::XPath, "//td[1]"), value("")},
        {"an XPath that selects nothing", table, of(K::XPath, "//span"), none},
        {"an XPath number", table, of(K::XPath, "count(//td)"), value("2")},
        {"an XPath boolean", table, of(K::XPath, "boolean(//span)"), value("false")},
        {"an XPath that does not compile", table, of(K::XPath, "//td["), none},
        {"an XPath within its steps", paragraphs, of(K::XPath, "count(//p[count(//p) > 1])"), value("2000")},
        {"an XPath past its steps", paragraphs, of(K::XPath, "count(//p[count(//p[count(//p) > 1]) > 1])"), none},
        {"a reader", table, of(K::Reader, "guru"), none},
    };
    const std::string url = "http://example.test/page";
    for (const LocateCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<PageIndex> index = PageIndex::build(c.page, url);
        ASSERT_TRUE(index);
        const Located got = locate(IndexPage(*index, url), c.locator);
        EXPECT_EQ(got.found, c.expected.found);
        EXPECT_EQ(got.value, c.expected.value);
    }
}

struct PointsCase {
    const char* what;
    Located located;
    std::vector<std::pair<std::string, std::int64_t>> grades;
    Points expected;
};

TEST(Locate, PointsOfALocatedValue)
{
    const std::vector<std::pair<std::string, std::int64_t>> grades = {{"Buy", 5}, {"Sell", 1}};
    const std::vector<PointsCase> cases = {
        {"a grade", value("Buy"), grades, Points::record(5)},
        {"a grade among blanks", value("  Sell "), grades, Points::record(1)},
        {"a grade in another case", value("buy"), grades, Points::record(0)},
        {"no grade", value("Hold"), grades, Points::record(0)},
        {"graded but not found", none, grades, Points::add(0)},
        {"a leading number", value("12.9 pts"), {}, Points::record(12)},
        {"zero", value("0"), {}, Points::add(0)},
        {"a negative number", value("-3"), {}, Points::add(0)},
        {"text", value("n/a"), {}, Points::add(0)},
        {"an empty value", value(""), {}, Points::add(0)},
        {"not found", none, {}, Points::add(0)},
    };
    for (const PointsCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(pointsOf(c.located, c.grades), c.expected);
    }
}

TEST(LocateLayout, AWarningOnlyWhenNothingWasFoundOnEveryOneOfThreeOrMorePages)
{
    const struct {
        int missing, opened;
        bool warned;
    } rows[] = {{3, 3, true}, {12, 12, true}, {2, 3, false}, {2, 2, false}, {0, 0, false}, {11, 12, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.missing) + " of " + std::to_string(row.opened));
        const std::string warning = layoutWarning("the pattern \"x\"", row.missing, row.opened);
        EXPECT_EQ(warning, row.warned ? "the page layout may have changed: the pattern \"x\" is on none of its " +
                                            std::to_string(row.opened) + " pages"
                                      : "");
    }
    EXPECT_EQ(layoutWarning("", 5, 5), "") << "a reader that does not say what it looks for warns of nothing";
}

} // namespace
