#pragma once
// The pages of Get Lists. The first page of every ticked list is asked of the
// fetch engine at once (as far as the look-ahead allows), and each list's
// next page as soon as its link is found, on the worker that read the page
// before. Each page is read into its tickers there; the walker on the
// window's thread takes the lists in order and their pages in order, so what
// it shows does not depend on how far ahead the pages were read.
#include <memory>
#include <string>
#include <vector>

#include "web/fetchpool.h"
#include "web/tablewalk.h"
#include "web/wait.h"

namespace veltrop {

class ListPages {
public:
    // `lookahead` 0: as many pages at once as the engine allows.
    ListPages(FetchPool& engine, int lookahead);
    ~ListPages();  // stops every transfer
    ListPages(const ListPages&) = delete;
    ListPages& operator=(const ListPages&) = delete;

    // Asks for the first page of the list at `url`, read with `walk`; lists
    // with a lower `position` go first.
    void plan(const std::string& url, const TableWalk& walk, int position);
    bool planned(const std::string& url) const;

    struct Page {
        bool opened = false;
        std::vector<std::string> tickers;
        std::string next;  // the page after it; empty when the list ends here
    };
    // Page `n` (0: the first) of the list at `url`, once it is there, calling
    // `wait` meanwhile. A page that was never asked for, or any page after
    // abort(), did not open.
    Page take(const std::string& url, int n, const WaitHook& wait);

    // The ticker table is full: from now on a page that holds a ticker leads
    // nowhere, since its first ticker already ends its list. Only pages of
    // empty tables are followed further.
    void full();
    // Forgets the list at `url` and its pages still to come.
    void drop(const std::string& url);
    // Stops everything; every later take reports a page that did not open.
    void abort();

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace veltrop
