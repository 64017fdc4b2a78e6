#pragma once
// The page-fetch component: opens one web page at a time and answers
// questions about the page opened last. Tables, rows and columns count from 1.
//
// Each page is read by the fetch engine, asked for at the front of its
// host's queue, and waited for on the caller's thread. Every
// transfer goes through libcurl, so the standard proxy variables (http_proxy,
// no_proxy) apply to it exactly as to any other libcurl program.
#include <memory>
#include <stop_token>
#include <string>

namespace veltrop {

class FetchPool;

class PageFetcher {
public:
    // Over the program's engine, which must outlive the fetcher. Once `stop`
    // is requested the transfer in flight ends and every later OpenPage fails
    // at once (the window is closing).
    explicit PageFetcher(FetchPool& engine, std::stop_token stop = {});
    // Over an engine of its own.
    PageFetcher();
    ~PageFetcher();
    PageFetcher(const PageFetcher&) = delete;
    PageFetcher& operator=(const PageFetcher&) = delete;

    // Opens `url` (http or https only) and makes it the current page. True only
    // for a complete 2xx answer within `timeLimitSeconds`. On failure the
    // current page is empty. So is a page that is refused as too large (over
    // 8 MiB, or over 500k tags) or too deeply nested to parse within a
    // second. At most 10 redirects are followed. `options` is accepted for
    // callers and unused.
    bool OpenPage(const std::string& url, int timeLimitSeconds = 60, int options = 0);

    // Readable text of cell (table, row, column): entities decoded, white
    // space folded to one blank, ends trimmed. Empty when there is no such cell.
    std::string GetCellText(int table, int row, int column) const;

    // Absolute address of the index-th link (1 = first) whose readable text,
    // folded and trimmed like cell text, equals `linkText`; empty when none.
    std::string FindLinkUrl(const std::string& linkText, int index = 1) const;

    // Readable text of the page: no scripts or styles, block elements on lines
    // of their own, each table row on one line with its cells separated by a
    // tab, blanks within a line folded to one.
    std::string GetPageText() const;

    // Page text after the first occurrence of `startText` up to the next
    // occurrence of `endText` after it; the markers themselves are left out
    // and the passage is trimmed. Empty when either is missing. The three numbers are accepted and unused.
    std::string GetTextBetween(const std::string& startText, const std::string& endText,
                               int a = 0, int b = 1, int c = 0) const;

    // The whole page as UTF-8 text, decoded from its charset.
    std::string GetPageSource() const;

    // The address the current page was finally read from (after redirects).
    std::string pageUrl() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Asks whether the web can be reached: one short request for `url` through
// the same engine and route (proxy included) as every page.
class ConnectionProbe {
public:
    ConnectionProbe(FetchPool& engine, std::string url);
    bool IsConnected();

private:
    FetchPool& engine_;
    std::string url_;
};

} // namespace veltrop
