#pragma once
// One HTTP transfer as every page of the program is read: libcurl set up for
// the web's two protocols only, a bounded number of redirects, a whole-transfer
// time limit and a capped body.
#include <curl/curl.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace veltrop {

class PageIndex;

namespace transfer {

// The cap applies to the body after decompression, so a small compressed
// answer cannot blow up in memory either.
inline constexpr std::size_t maxBodyBytes = std::size_t{8} << 20;

void initCurlOnce();

struct Request {
    std::string url;
    long timeLimitMilliseconds;
    bool followRedirects;
    std::size_t bodyLimit;
};

struct Answer {
    CURLcode result = CURLE_OK;
    long status = 0;  // 0 when no answer arrived
    std::string body;
    std::string contentType;
    std::string finalUrl;
};

struct BodySink {
    std::string data;
    std::size_t limit;
};

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

// Sets `easy` up for `request`, writing the body into `sink` (which must
// outlive the transfer). False when libcurl refuses an option.
bool configure(CURL* easy, const Request& request, BodySink& sink);

// What a finished transfer brought, the body moved out of `sink`.
Answer collect(CURL* easy, CURLcode result, BodySink& sink);

// True for a complete 2xx answer.
bool succeeded(const Answer& answer);

// How long to pause before asking again for a page whose transfer ended this
// way, when the failure says nothing of the page itself: the connection
// closed or reset before any byte of an answer, or the site answered 502,
// 503, 504 or 429 (busy, or a proxy that could not reach it). The pause is
// the one the answer's Retry-After names in seconds, else `usual`. nullopt
// for every other ending: a page that is missing, broken or too slow stays so.
std::optional<long> retryPause(CURL* easy, CURLcode result, long usual);

// The page of a successful answer, decoded from its charset and indexed;
// nullopt when the answer failed or the page is refused.
std::optional<PageIndex> openedPage(const Answer& answer);

} // namespace transfer
} // namespace veltrop
