#include "web/tablewalk.h"

#include <algorithm>

#include "web/text.h"

namespace veltrop {

TableWalker::Rows TableWalker::read(const PageView& page, const std::string& askedUrl)
{
    ++pagesRead_;
    visited_.push_back(askedUrl);
    visited_.push_back(page.url());

    Rows rows;
    const int step = walk_.rowStep > 0 ? walk_.rowStep : 1;
    for (int k = 1; k <= walk_.maxRow; k += step) {
        std::string cell = page.cellText(walk_.first.table, walk_.first.row + k, walk_.first.column);
        if (!takes_(cell))
            break;
        rows.cells.push_back(std::move(cell));
    }
    if (!walk_.paging)
        return rows;
    // The link is looked up by the cell's whole text, which only has to
    // contain the marker.
    const std::string link = page.cellText(walk_.next.table, walk_.next.row, walk_.next.column);
    if (!containsPhrase(link, walk_.nextText))
        return rows;
    std::string url = page.linkUrl(link, 1);
    // A link back to a page already read would walk in a circle for ever,
    // and an endless chain would never end either.
    if (url.empty() || pagesRead_ >= maxWalkPages || std::find(visited_.begin(), visited_.end(), url) != visited_.end())
        return rows;
    rows.next = std::move(url);
    return rows;
}

} // namespace veltrop
