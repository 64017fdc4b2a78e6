#pragma once
// What the Get Lists button shows as each list page comes, worked out from
// the simulated web's own list pages: before a list's first page it reads
// "Get Lists"; once page p is in, its last ticker (the last taken, when the
// table fills on it). The 501st ticker ends the walk of its list, and each
// later list at its first ticker. Consecutive repeats are folded, as a
// window shows them.
#include <string>
#include <vector>

#include "tools/simweb/pages.h"

namespace veltrop::testing {

struct ListAddress {
    std::string host, path, query;
};

inline std::vector<std::string> getListsCaptions(const std::vector<ListAddress>& lists, int limit = 500)
{
    std::vector<std::string> shown;
    const auto show = [&](const std::string& caption) {
        if (shown.empty() || shown.back() != caption)
            shown.push_back(caption);
    };
    int count = 0;
    for (const ListAddress& list : lists) {
        std::string caption = "Get Lists";
        show(caption);
        const auto pages = simweb::listPageTickers(list.host, list.path, list.query);
        bool full = false;
        for (std::size_t p = 0; p < pages.size() && !full; ++p) {
            for (const std::string& ticker : pages[p]) {
                if (count == limit) {
                    full = true;
                    break;
                }
                ++count;
                caption = ticker;
            }
            show(caption);
        }
    }
    return shown;
}

} // namespace veltrop::testing
