// A page from anywhere: it is parsed and indexed, then asked every question
// the commands ask of a page.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzzcheck.h"
#include "web/pageindex.h"

using namespace veltrop;

namespace {

// A few bytes of the page's own text: a question made from the page itself,
// so the fuzzer also reaches the paths where the marker is found.
std::string_view piece(std::string_view text, std::size_t from, std::size_t length)
{
    if (from >= text.size())
        return {};
    return text.substr(from, length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string html(reinterpret_cast<const char*>(data), size);
    const auto page = PageIndex::build(html, "http://www.example.com/lists/page.htm?p=1");
    if (!page)
        return 0;

    FUZZ_CHECK(page->source() == html);
    const std::string& text = page->text();

    for (int table : {0, 1, 2, 3, 7, -1, INT_MAX}) {
        for (int row : {0, 1, 2, 5, -1, INT_MAX}) {
            for (int column : {0, 1, 2, 4, -1, INT_MAX}) {
                const std::string cell = page->cellText(table, row, column);
                if (table <= 0 || row <= 0 || column <= 0)
                    FUZZ_CHECK(cell.empty());
                if (!cell.empty()) {
                    FUZZ_CHECK(!fuzz::isBlank(cell.front()) && !fuzz::isBlank(cell.back()));
                    FUZZ_CHECK(cell.find("  ") == std::string::npos);
                }
            }
        }
    }

    const std::size_t lineEnd = text.find('\n');
    const std::string firstLine(text.substr(0, lineEnd == std::string::npos ? text.size() : lineEnd));
    for (std::string_view linkText : {std::string_view(firstLine), std::string_view("Next"), std::string_view()}) {
        for (int index : {1, 2, 0, -1})
            (void)page->linkUrl(linkText, index);
    }

    const std::string between = page->textBetween(piece(text, 0, 3), piece(text, text.size() / 2, 2));
    FUZZ_CHECK(between.size() <= text.size());
    (void)page->textBetween("", "x");
    (void)page->textBetween(firstLine, firstLine);

    FUZZ_CHECK(text.find("\n\n") == std::string::npos);
    return 0;
}
