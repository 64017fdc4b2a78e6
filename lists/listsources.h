#pragma once
// The published stock lists that Get Lists reads, in the order it reads them.
#include <span>
#include <string>

namespace veltrop {

struct ListSource {
    int box;               // index of the List check box that selects it
    const char* caption;   // that box's caption
    const char* host;
    const char* path;
    const char* query;     // nullptr: the address has no query
    // The k-th data row of a page is row `row` + k of table `table`; k steps
    // by `step`; the ticker is in `column`.
    int table, row, column, step;
    // Where the source pages: the cell that holds the link to the next page
    // and the text that marks it. `paging` false: one page only.
    bool paging;
    int nextTable, nextRow, nextColumn;
    const char* nextText;

    std::string url() const;
};

std::span<const ListSource> listSources();

} // namespace veltrop
