#pragma once
// Everything the program asks about one page, gathered in a single parse when
// the page opens: its tables (rows of cells), its links and its readable text.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrop {

class PageIndex {
public:
    // Parses `html` (UTF-8) and indexes it. `pageUrl` is the address the page
    // was read from; links are resolved against it, or against the page's
    // <base href>. nullopt when the page is refused as too large or too deeply
    // nested to parse in reasonable time.
    static std::optional<PageIndex> build(std::string html, std::string_view pageUrl);

    // Tables count from 1 in document order, a nested table right after the
    // one holding it. A table's rows are its own tr elements, in thead, tbody
    // and tfoot alike, in document order; the rows of a table nested in a cell
    // belong to the nested table. A row's cells are its own td and th.
    // The text is all readable text inside the cell, nested tables included,
    // with white space (no-break spaces too) folded to one blank and trimmed.
    // Empty when there is no such table, row or cell.
    std::string cellText(int table, int row, int column) const;
    // Whether that table, row and cell are on the page, empty or not.
    bool hasCell(int table, int row, int column) const;

    // Absolute address of the index-th (from 1) link whose folded text equals
    // `text`; empty when there is none.
    std::string linkUrl(std::string_view text, int index) const;

    // Readable text: one line per block element (p, div, li, headings, ...),
    // per <br> and per table row, with the cells of a row separated by a tab.
    // No empty lines; blanks within a line folded to one, none at line ends.
    // Scripts, styles, noscript, templates and the title are left out.
    const std::string& text() const { return text_; }

    // The text after the first occurrence of `start` up to the next occurrence
    // of `end` after it, both markers left out, trimmed. Empty when either
    // marker is missing (or empty).
    std::string textBetween(std::string_view start, std::string_view end) const;
    // The same, but nullopt when either marker is missing (or empty), so that
    // markers with nothing between them tell apart from markers not there.
    std::optional<std::string> findBetween(std::string_view start, std::string_view end) const;

    // The page as it was given to build().
    const std::string& source() const { return source_; }

private:
    class Builder;

    struct TextRange {
        std::size_t begin;
        std::size_t end;
    };
    using Row = std::vector<TextRange>;
    using Table = std::vector<Row>;
    struct Link {
        TextRange text;    // of the readable text, as a cell's
        std::string href;  // as written
    };

    PageIndex() = default;

    std::string source_;
    std::string baseUrl_;
    // Readable text as laid out above; cells are ranges of it.
    std::string text_;
    std::vector<Table> tables_;
    std::vector<Link> links_;
};

} // namespace veltrop
