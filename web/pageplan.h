#pragma once
// Pages read ahead of the loop that takes them. A command plans reads: each
// starts at one address and may go on page after page (a list's next pages,
// a fund count's further holdings). Their pages are asked of the fetch
// engine at most `lookahead` asked for and not yet taken at a time, the
// lowest key first (0: as many as the engine allows; one: one page after
// another, the next asked for when the loop asks for its read, and a read's
// further pages as soon as the page before is read). Each page is read on
// the worker that indexed it, by the reader of every read that wants it, and
// only what the reader keeps outlives the page. The command's loop
// takes the reads in its own order, so what it shows does not depend
// on how far ahead the pages were read.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "web/fetchpool.h"
#include "web/pageview.h"

namespace veltrop {

// What one read keeps of its pages. read() runs on a worker, one page at a
// time, never at once with another call for the same read.
class PageReader {
public:
    virtual ~PageReader() = default;
    // Reads one page, asked for at `askedUrl`; returns the address of the
    // read's next page, or the empty text when the read ends here.
    virtual std::string read(const PageView& page, const std::string& askedUrl) = 0;
};

class PagePlan {
public:
    // A read's key is also its place in the order pages are asked for.
    using Key = std::uint64_t;

    // `lookahead` 0: as many pages at once as the engine allows. Once `stop`
    // is requested the plan stops everything, as abort() does.
    PagePlan(FetchPool& engine, int lookahead, std::stop_token stop = {});
    ~PagePlan();  // stops every transfer of the plan
    PagePlan(const PagePlan&) = delete;
    PagePlan& operator=(const PagePlan&) = delete;

    // Plans read `key` from `url`. Reads planned for the same first address
    // share its one fetch, each reading the page with its own reader.
    void plan(Key key, const std::string& url, std::shared_ptr<PageReader> reader);
    // The reader planned for read `key`, of the type it was planned with;
    // nullptr when there is none. It is shared with the worker reading its
    // pages.
    template <class Reader>
    std::shared_ptr<Reader> readerOf(Key key) const
    {
        return std::static_pointer_cast<Reader>(anyReaderOf(key));
    }

    // Whether a read between `from` and `to` (both included) was planned and
    // not dropped.
    bool planned(Key from, Key to) const;
    // Pages planned between hold and release are asked for only at release,
    // so that every read planned meanwhile shares each address.
    void hold();
    void release();

    // Read `key` once it has ended, waiting as long as it takes; nullptr
    // when its first page did not open (or could not be read), or it was
    // never planned or dropped. A further page that does not open ends the read with what it had. Once
    // `cancel` is requested every other read ends where it is, and this one
    // after the page in flight. `why`, when given, learns why the read's
    // last page asked for did not open (reason None when every page did).
    // The reader comes as the type read `key` was planned with.
    template <class Reader>
    std::shared_ptr<Reader> take(Key key, std::stop_token cancel = {}, FetchPool::Failure* why = nullptr)
    {
        return std::static_pointer_cast<Reader>(takeAny(key, cancel, why));
    }

    // For a loop that shows a read page by page: waits until read `key` has
    // read more than `seen` pages, or has ended, and gives how many it has
    // read.
    std::size_t awaitPages(Key key, std::size_t seen);

    // No read goes on to a further page any more: those in flight are
    // stopped, and each read ends with the pages it has. First pages are
    // still read.
    void stopFurtherPages();

    // Forgets the reads from `from` to `to`: what they kept, and the
    // transfers no other read needs.
    void drop(Key from, Key to);

    // Stops everything; every later take finds nothing.
    void abort();

    // What is wrong with the plan's bookkeeping, or the empty text: every
    // read is ended, waits on a page that is asked for (or held), or is gone.
    std::string inconsistency() const;

private:
    std::shared_ptr<PageReader> anyReaderOf(Key key) const;
    std::shared_ptr<PageReader> takeAny(Key key, const std::stop_token& cancel, FetchPool::Failure* why);

    struct State;
    std::shared_ptr<State> state_;
    // Declared last, so it goes first: a stop requested while the plan goes
    // finds the plan whole.
    std::stop_callback<std::function<void()>> onStop_;
};

} // namespace veltrop
