#pragma once
// A table read down one column, page after page through next-page links: the
// list sources' ticker tables and the fund-count holdings both page this way.
#include <string>
#include <vector>

#include "web/pageview.h"

namespace veltrop {

struct TableWalk {
    // The k-th data row of a page is row first.row + k of table first.table,
    // for k = 1, 1 + rowStep, 1 + 2 rowStep, ... up to maxRow.
    Cell first;
    int rowStep = 1;
    int maxRow = 500;
    bool paging = false;
    Cell next;             // the cell that holds the next-page link
    std::string nextText;  // the text that marks it, in any letter case
};

// A walk never reads more pages than this, whatever the next-page links say.
inline constexpr int maxWalkPages = 100;

class TableWalker {
public:
    // `takes` says whether a cell's text is a row of the table; the first
    // that is not ends the page.
    using Rule = bool (*)(const std::string& cell);

    TableWalker(TableWalk walk, Rule takes) : walk_(std::move(walk)), takes_(takes) {}

    struct Rows {
        std::vector<std::string> cells;
        // The page to read next; empty when the walk ends here: no next-page
        // link, a link back to a page already read, or the page limit.
        std::string next;
    };
    // Reads one page of the walk, asked for at `askedUrl`.
    Rows read(const PageView& page, const std::string& askedUrl);

    int pagesRead() const { return pagesRead_; }

private:
    TableWalk walk_;
    Rule takes_;
    int pagesRead_ = 0;
    std::vector<std::string> visited_;
};

} // namespace veltrop
