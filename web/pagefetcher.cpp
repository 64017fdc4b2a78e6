#include "web/pagefetcher.h"

#include "web/hosts.h"
#include "web/pageindex.h"
#include "web/transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <optional>

namespace veltrop {
namespace {

using namespace transfer;
using Clock = std::chrono::steady_clock;

constexpr int pollMilliseconds = 20;
constexpr auto hookInterval = std::chrono::milliseconds(20);
constexpr int probeTimeLimitMilliseconds = 5000;

struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

MultiHandle newMulti()
{
    initCurlOnce();
    return MultiHandle(curl_multi_init());
}

// One easy handle on a multi handle, detached and freed on every way out,
// an exception from the wait hook included.
class Transfer {
public:
    explicit Transfer(CURLM* multi) : multi_(multi), easy_(curl_easy_init()) {}
    ~Transfer()
    {
        if (attached_)
            curl_multi_remove_handle(multi_, easy_);
        if (easy_)
            curl_easy_cleanup(easy_);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    bool start(const Request& request, BodySink& sink)
    {
        if (!multi_ || !easy_)
            return false;
        const bool ok = configure(easy_, request, sink);
        if (!ok || curl_multi_add_handle(multi_, easy_) != CURLM_OK)
            return false;
        attached_ = true;
        return true;
    }

    CURL* easy() const { return easy_; }

private:
    CURLM* multi_;
    CURL* easy_;
    bool attached_ = false;
};

// Runs one request to its end, calling `hook` while it waits. nullopt when the
// transfer could not start or was abandoned.
std::optional<Answer> runTransfer(CURLM* multi, const Request& request,
                                  const PageFetcher::WaitHook& hook, const bool& abandoned)
{
    BodySink sink{{}, request.bodyLimit};
    Transfer transfer(multi);
    if (!transfer.start(request, sink))
        return std::nullopt;

    Answer answer;
    auto lastHook = Clock::now();
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            return std::nullopt;
        bool done = false;
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == transfer.easy()) {
                answer.result = message->data.result;
                done = true;
            }
        }
        if (done)
            break;
        curl_multi_poll(multi, nullptr, 0, pollMilliseconds, nullptr);
        if (hook && Clock::now() - lastHook >= hookInterval) {
            hook();
            lastHook = Clock::now();
        }
        if (abandoned)
            return std::nullopt;
    }

    answer = collect(transfer.easy(), answer.result, sink);
    return answer;
}

} // namespace

struct PageFetcher::Impl {
    MultiHandle multi = newMulti();
    WaitHook hook;
    bool abandoned = false;
    bool opening = false;
    std::optional<PageIndex> page;
    std::string url;
};

PageFetcher::PageFetcher() : d(std::make_unique<Impl>()) {}

PageFetcher::~PageFetcher() = default;

bool PageFetcher::OpenPage(const std::string& url, int timeLimitSeconds, int /*options*/)
{
    // Only the wait hook can get here during an open; the transfer in flight
    // owns the current page, so the nested call just fails.
    if (d->opening)
        return false;
    d->page.reset();
    d->url.clear();
    if (d->abandoned || !d->multi)
        return false;

    struct OpeningFlag {
        bool& flag;
        explicit OpeningFlag(bool& f) : flag(f) { flag = true; }
        ~OpeningFlag() { flag = false; }
    } opening(d->opening);

    // A limit of 0 would mean "no limit" to libcurl; every wait here ends.
    const long limit = std::max(timeLimitSeconds, 1) * 1000L;
    // A copy, so that a hook replacing itself through setWaitHook stays alive
    // while it runs.
    const WaitHook hook = d->hook;
    const auto answer = runTransfer(d->multi.get(), {url, limit, true, maxBodyBytes}, hook, d->abandoned);
    if (!answer)
        return false;
    auto page = openedPage(*answer);
    if (!page)
        return false;
    d->page = std::move(page);
    d->url = answer->finalUrl;
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

void PageFetcher::setWaitHook(WaitHook hook)
{
    d->hook = std::move(hook);
}

void PageFetcher::abandon()
{
    d->abandoned = true;
}

bool PageFetcher::abandoned() const
{
    return d->abandoned;
}

std::string PageFetcher::pageUrl() const
{
    return d->url;
}

ConnectionProbe::ConnectionProbe(PageFetcher::WaitHook hook) : hook_(std::move(hook)) {}

// Any answer of the site counts, a redirect too; the body is not wanted, so
// the transfer ends at its first byte.
bool ConnectionProbe::IsConnected()
{
    const MultiHandle multi = newMulti();
    if (!multi)
        return false;
    const bool neverAbandoned = false;
    const Request request{std::string("http://") + hosts::quotes + "/", probeTimeLimitMilliseconds, false, 0};
    const auto answer = runTransfer(multi.get(), request, hook_, neverAbandoned);
    return answer && answer->status >= 200 && answer->status <= 399;
}

} // namespace veltrop
