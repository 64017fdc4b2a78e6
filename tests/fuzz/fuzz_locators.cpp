// A locator of any kind and expression, read on a page of any bytes: it
// finds a value or nothing, never crashes, and a value found by a cell is
// one the page has.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rank/locators.h"
#include "tests/fuzz/fuzzcheck.h"
#include "web/pageindex.h"

using namespace veltrop;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first byte picks the kind; the expression runs to the first NUL,
    // the page is the rest.
    if (size < 2)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t nul = bytes.find('\0');
    const std::string expression(bytes.substr(0, nul));
    const std::string html(nul == std::string_view::npos ? std::string_view() : bytes.substr(nul + 1));
    const auto index = PageIndex::build(html, "http://www.example.com/r?s=X");
    if (!index)
        return 0;
    const std::string url = "http://www.example.com/r?s=X";
    const IndexPage page(*index, url);

    Locator locator;
    switch (data[0] % 5) {
    case 0:
        locator.kind = Locator::Kind::Cell;
        locator.cell = {1 + int(data[0] / 5 % 4), 1 + int(expression.size() % 5), 1 + int(html.size() % 3)};
        break;
    case 1:
        locator.kind = Locator::Kind::Between;
        locator.text = expression.substr(0, expression.size() / 2);
        locator.end = expression.substr(expression.size() / 2);
        break;
    case 2: locator.kind = Locator::Kind::Regex; break;
    case 3: locator.kind = Locator::Kind::JsonPointer; break;
    default: locator.kind = Locator::Kind::XPath; break;
    }
    if (locator.kind != Locator::Kind::Cell && locator.kind != Locator::Kind::Between)
        locator.text = expression;
    const Located located = locate(page, locator);
    if (locator.kind == Locator::Kind::Cell) {
        FUZZ_CHECK(located.found == page.hasCell(locator.cell.table, locator.cell.row, locator.cell.column));
        FUZZ_CHECK(!located.found || located.value == page.cellText(locator.cell.table, locator.cell.row,
                                                                    locator.cell.column));
    }
    if (!located.found)
        FUZZ_CHECK(located.value.empty());
    // The leading-number rule records no negative score.
    const Points points = pointsOf(located, {});
    FUZZ_CHECK(points.kind != Points::Kind::Record || points.value >= 0);
    return 0;
}
