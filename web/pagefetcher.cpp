#include "web/pagefetcher.h"

#include "web/fetchpool.h"
#include "web/pageindex.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace veltrop {
namespace {

constexpr long probeTimeLimitMilliseconds = 5000;

// One page asked of the engine, handed over from the worker that read it.
// Shared with the handler, which may still run after the asker gave up.
struct Delivery {
    // Guards `arrived` and `arrival`; `arrival` is written once, by the
    // handler, before `arrived` turns true.
    std::mutex mutex;
    std::condition_variable_any changed;
    bool arrived = false;
    FetchPool::Arrival arrival;
};

// Asks `engine` for `request` ahead of every other page of its host and waits
// for it; nullopt when `stop` was requested first (the page is then
// forgotten).
std::optional<FetchPool::Arrival> fetchAndWait(FetchPool& engine, FetchPool::Request request,
                                               const std::stop_token& stop)
{
    auto delivery = std::make_shared<Delivery>();
    const FetchPool::Id id = engine.fetch(std::move(request), [delivery](FetchPool::Arrival& arrival) {
        std::lock_guard lock(delivery->mutex);
        delivery->arrival = std::move(arrival);
        delivery->arrived = true;
        delivery->changed.notify_all();
    });
    engine.hurry(id);
    std::unique_lock lock(delivery->mutex);
    delivery->changed.wait(lock, stop, [&] { return delivery->arrived; });
    if (!delivery->arrived) {
        lock.unlock();
        engine.cancel(id);
        return std::nullopt;
    }
    return std::move(delivery->arrival);
}

} // namespace

struct PageFetcher::Impl {
    std::unique_ptr<FetchPool> own;
    FetchPool* engine = nullptr;
    std::stop_token stop;
    std::optional<PageIndex> page;
    std::string url;
};

PageFetcher::PageFetcher(FetchPool& engine, std::stop_token stop) : d(std::make_unique<Impl>())
{
    d->engine = &engine;
    d->stop = std::move(stop);
}

PageFetcher::PageFetcher() : d(std::make_unique<Impl>())
{
    d->own = std::make_unique<FetchPool>();
    d->engine = d->own.get();
}

PageFetcher::~PageFetcher() = default;

bool PageFetcher::OpenPage(const std::string& url, int timeLimitSeconds, int /*options*/)
{
    d->page.reset();
    d->url.clear();
    if (d->stop.stop_requested())
        return false;

    FetchPool::Request request;
    request.url = url;
    request.timeLimitMilliseconds = std::max(timeLimitSeconds, 1) * 1000L;
    auto arrival = fetchAndWait(*d->engine, std::move(request), d->stop);
    if (!arrival || !arrival->page)
        return false;
    d->page = std::move(arrival->page);
    d->url = arrival->finalUrl;
    return true;
}

std::string PageFetcher::GetCellText(int table, int row, int column) const
{
    return d->page ? d->page->cellText(table, row, column) : std::string();
}

std::string PageFetcher::FindLinkUrl(const std::string& linkText, int index) const
{
    return d->page ? d->page->linkUrl(linkText, index) : std::string();
}

std::string PageFetcher::GetPageText() const
{
    return d->page ? d->page->text() : std::string();
}

std::string PageFetcher::GetTextBetween(const std::string& startText, const std::string& endText,
                                        int /*a*/, int /*b*/, int /*c*/) const
{
    return d->page ? d->page->textBetween(startText, endText) : std::string();
}

std::string PageFetcher::GetPageSource() const
{
    return d->page ? d->page->source() : std::string();
}

std::string PageFetcher::pageUrl() const
{
    return d->url;
}

ConnectionProbe::ConnectionProbe(FetchPool& engine, std::string url)
    : engine_(engine), url_(std::move(url))
{
}

// Any answer of the site counts, a redirect too; the body is not wanted, so
// the transfer ends at its first byte.
bool ConnectionProbe::IsConnected()
{
    FetchPool::Request request;
    request.url = url_;
    request.timeLimitMilliseconds = probeTimeLimitMilliseconds;
    request.followRedirects = false;
    request.wantsPage = false;
    const auto arrival = fetchAndWait(engine_, std::move(request), {});
    return arrival && arrival->status >= 200 && arrival->status <= 399;
}

} // namespace veltrop
