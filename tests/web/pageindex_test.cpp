// The page index on hand-written pages: how tables, rows and cells are
// counted, what a cell's text is, which link a text finds, and the page text.
#include "web/pageindex.h"

#include <gtest/gtest.h>

#include <chrono>

namespace veltrop {
namespace {

const std::string pageUrl = "http://www.example.com/lists/today.html?page=1";

PageIndex indexOf(const std::string& html, const std::string& url = pageUrl)
{
    auto index = PageIndex::build(html, url);
    if (!index) {
        ADD_FAILURE() << "page refused: " << html.substr(0, 200);
        return *PageIndex::build("", url);
    }
    return std::move(*index);
}

TEST(PageIndexTables, NestedTablesAreNumberedInDocumentOrderAndKeepTheirOwnRows)
{
    const auto page = indexOf(R"(
        <table>
          <tr><td>outer 1.1</td><td>
              <table><tr><td>inner 1</td></tr><tr><td>inner 2</td></tr></table>
          </td></tr>
          <tr><td>outer 2.1</td><td>outer 2.2</td></tr>
        </table>
        <table><tr><td>third</td></tr></table>)");

    EXPECT_EQ(page.cellText(1, 1, 1), "outer 1.1");
    // The nested table's rows are not rows of the outer one.
    EXPECT_EQ(page.cellText(1, 2, 1), "outer 2.1");
    EXPECT_EQ(page.cellText(1, 2, 2), "outer 2.2");
    EXPECT_EQ(page.cellText(1, 3, 1), "");
    EXPECT_EQ(page.cellText(2, 1, 1), "inner 1");
    EXPECT_EQ(page.cellText(2, 2, 1), "inner 2");
    EXPECT_EQ(page.cellText(3, 1, 1), "third");
    // A cell holding a table reads as all of its text.
    EXPECT_EQ(page.cellText(1, 1, 2), "inner 1 inner 2");
}

TEST(PageIndexTables, ImpliedEndTagsAndSectionRowsCountAsABrowserBuildsThem)
{
    const auto page = indexOf(R"(
        <TABLE border=1>
        <THEAD><TR><TH>Symbol<TH>Last</THEAD>
        <TBODY><TR><TD>IBM<TD>101.5
        <TR><TD>MSFT<TD>55</TBODY>
        <TFOOT><TR><TD>2 quotes</TFOOT>
        </TABLE>)");

    EXPECT_EQ(page.cellText(1, 1, 1), "Symbol");
    EXPECT_EQ(page.cellText(1, 1, 2), "Last");
    EXPECT_EQ(page.cellText(1, 2, 1), "IBM");
    EXPECT_EQ(page.cellText(1, 2, 2), "101.5");
    EXPECT_EQ(page.cellText(1, 3, 1), "MSFT");
    EXPECT_EQ(page.cellText(1, 4, 1), "2 quotes");
}

TEST(PageIndexTables, MissingTablesRowsAndCellsReadEmpty)
{
    const auto page = indexOf("<table><tr><td>only</td></tr><tr></tr></table>");

    EXPECT_EQ(page.cellText(1, 1, 1), "only");
    EXPECT_EQ(page.cellText(1, 1, 2), "");
    EXPECT_EQ(page.cellText(1, 2, 1), "");
    EXPECT_EQ(page.cellText(1, 9, 1), "");
    EXPECT_EQ(page.cellText(2, 1, 1), "");
    EXPECT_EQ(page.cellText(0, 1, 1), "");
    EXPECT_EQ(page.cellText(1, 0, 1), "");
    EXPECT_EQ(page.cellText(1, 1, -1), "");
}

TEST(PageIndexTables, CellTextIsDecodedFoldedAndTrimmed)
{
    const auto page = indexOf("<table><tr>"
                              "<td>  AT&amp;T&nbsp;&nbsp;Inc \n\t </td>"
                              "<td><b>BRK</b>.<i>B</i></td>"
                              "<td>&nbsp;</td>"
                              "<td>Line one<br>line two<p>para</p></td>"
                              "<td>&lt;&#65;&#x42;&gt; &eacute;t&eacute;</td>"
                              "<td>shown<script>hidden()</script><style>p{}</style></td>"
                              "</tr></table>");

    EXPECT_EQ(page.cellText(1, 1, 1), "AT&T Inc");
    EXPECT_EQ(page.cellText(1, 1, 2), "BRK.B");
    EXPECT_EQ(page.cellText(1, 1, 3), "");
    EXPECT_EQ(page.cellText(1, 1, 4), "Line one line two para");
    EXPECT_EQ(page.cellText(1, 1, 5), "<AB> \xC3\xA9t\xC3\xA9");
    EXPECT_EQ(page.cellText(1, 1, 6), "shown");
}

TEST(PageIndexTables, TablesInsideScriptsTemplatesOrSvgDoNotCount)
{
    const auto page = indexOf("<body><script>document.write('<table><tr><td>x</td></tr></table>')</script>"
                              "<template><table><tr><td>t</td></tr></table></template>"
                              "<noscript><table><tr><td>n</td></tr></table></noscript>"
                              "<svg><a href='x'><text>svg link</text></a></svg>"
                              "<table><tr><td>real</td></tr></table>");

    EXPECT_EQ(page.cellText(1, 1, 1), "real");
    EXPECT_EQ(page.cellText(2, 1, 1), "");
    EXPECT_EQ(page.linkUrl("svg link", 1), "");
}

TEST(PageIndexLinks, FoundByTheirFoldedTextAndResolvedAgainstThePage)
{
    const auto page = indexOf(R"(
        <a name="top">Next</a>
        <a href="page2.html">Next</a>
        <a href="/other">Next  <b>Page</b></a>
        <a href="../up.html?x=1&amp;y=2">Up</a>
        <a href="HTTP://www.other.example/abs">Next</a>
        <a href="">Self</a>)");

    // An anchor without href is no link.
    EXPECT_EQ(page.linkUrl("Next", 1), "http://www.example.com/lists/page2.html");
    EXPECT_EQ(page.linkUrl("Next", 2), "HTTP://www.other.example/abs");
    EXPECT_EQ(page.linkUrl("Next", 3), "");
    EXPECT_EQ(page.linkUrl("Next Page", 1), "http://www.example.com/other");
    EXPECT_EQ(page.linkUrl("Up", 1), "http://www.example.com/up.html?x=1&y=2");
    EXPECT_EQ(page.linkUrl("Self", 1), pageUrl);
    // Exact match only: no case folding, no partial text.
    EXPECT_EQ(page.linkUrl("next", 1), "");
    EXPECT_EQ(page.linkUrl("Nex", 1), "");
    EXPECT_EQ(page.linkUrl("Next", 0), "");
}

TEST(PageIndexLinks, FirstBaseHrefDecidesTheAddressOfRelativeLinks)
{
    const auto page = indexOf(R"(<html><head>
        <base href="/quotes/">
        <base href="http://ignored.example/">
        </head><body><a href="list.asp?p=2">Next</a></body></html>)");

    EXPECT_EQ(page.linkUrl("Next", 1), "http://www.example.com/quotes/list.asp?p=2");
}

TEST(PageIndexLinks, BlanksAndNonAsciiInAnHrefAreEncoded)
{
    const auto page = indexOf("<a href=\" list page.html?n=\xC3\xA9 \">Go</a>");

    EXPECT_EQ(page.linkUrl("Go", 1), "http://www.example.com/lists/list%20page.html?n=%C3%A9");
}

TEST(PageIndexText, BlocksAndRowsMakeLinesWithoutHiddenContent)
{
    const auto page = indexOf(R"(<html><head><title>Quote</title>
        <style>body { color: red }</style></head>
        <body>
          <h1>Snapshot   of
              IBM</h1>
          <script>var a = "<p>not text</p>";</script>
          <p>First <b>para</b>graph</p><div>Second<br>Third</div>
          <ul><li>one</li><li>two</li></ul>
          <table><tr><td>A</td><td> B </td></tr><tr><td></td><td>D</td></tr></table>
          inline tail
        </body></html>)");

    EXPECT_EQ(page.text(), "Snapshot of IBM\n"
                           "First paragraph\n"
                           "Second\n"
                           "Third\n"
                           "one\n"
                           "two\n"
                           "A\tB\n"
                           "\tD\n"
                           "inline tail");
}

TEST(PageIndexText, TextBetweenLeavesTheMarkersOutAndNeedsBothInOrder)
{
    const auto page = indexOf("<p>Intro</p><p>Snapshot</p><p>IBM looks strong.</p>"
                              "<p>Buy.</p><p>The above report is old.</p><p>Snapshot again</p>");

    EXPECT_EQ(page.textBetween("Snapshot", "The above report"), "IBM looks strong.\nBuy.");
    EXPECT_EQ(page.textBetween("Intro", "Intro"), "");
    EXPECT_EQ(page.textBetween("Missing", "The above report"), "");
    EXPECT_EQ(page.textBetween("Snapshot", "Missing"), "");
    // The end marker only counts after the start marker.
    EXPECT_EQ(page.textBetween("The above report", "Buy."), "");
    EXPECT_EQ(page.textBetween("", "Buy."), "");
}

std::string repeated(std::string_view piece, int times)
{
    std::string out;
    out.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i)
        out.append(piece);
    return out;
}

TEST(PageIndexLimits, HostilePagesEndQuicklyWithoutCrashing)
{
    const struct {
        const char* name;
        std::string html;
        bool indexed;
    } pages[] = {
        // Too deep for the parser's time budget.
        {"200k nested div", repeated("<div>", 200000), false},
        {"100k unclosed b", repeated("<b>", 100000), false},
        // Too many tags.
        {"200k nested tables", repeated("<table><tr><td>", 200000), false},
        {"600k br", repeated("<br>", 600000), false},
        // Each <a> closes the one before: long, but flat.
        {"100k unclosed a", repeated("<a href=x>", 100000), true},
    };
    for (const auto& page : pages) {
        SCOPED_TRACE(page.name);
        const auto start = std::chrono::steady_clock::now();
        const auto index = PageIndex::build(page.html, pageUrl);
        const auto elapsed = std::chrono::steady_clock::now() - start;

        EXPECT_EQ(index.has_value(), page.indexed);
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 3000);
    }
}

TEST(PageIndexLimits, DeeplyNestedTablesThatParseStillIndex)
{
    std::string html;
    for (int i = 0; i < 20000; ++i)
        html += "<table><tr><td>";
    html += "deep";
    const auto page = indexOf(html);

    EXPECT_EQ(page.cellText(20000, 1, 1), "deep");
    EXPECT_EQ(page.cellText(1, 1, 1), "deep");
    EXPECT_EQ(page.cellText(20001, 1, 1), "");
}

} // namespace
} // namespace veltrop
