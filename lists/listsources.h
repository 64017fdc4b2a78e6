#pragma once
// The published stock lists that Get Lists reads, in the order it reads them,
// as the catalogue gives them.
#include <span>
#include <string>
#include <vector>

#include "domain/catalogue.h"

namespace veltrop {

struct ListSource {
    std::string name;      // the catalogue's name for it
    std::string caption;   // its box's caption
    std::string url;       // the first page
    // The k-th data row of a page is row `row` + k of table `table`; k steps
    // by `step`; the ticker is in `column`.
    int table = 0, row = 0, column = 0, step = 1;
    // Where the source pages: the cell that holds the link to the next page
    // and the text that marks it. `paging` false: one page only.
    bool paging = false;
    int nextTable = 0, nextRow = 0, nextColumn = 0;
    std::string nextText;
};

// The list sources of `catalogue`, in its order.
std::vector<ListSource> listSourcesOf(const Catalogue& catalogue);
// Those of the built-in catalogue.
std::span<const ListSource> listSources();

} // namespace veltrop
