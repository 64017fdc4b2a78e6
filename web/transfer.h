#pragma once
// One HTTP transfer as every page of the program is read: libcurl set up for
// the web's two protocols only, a bounded number of redirects, a whole-transfer
// time limit and a capped body. Shared by the one-page fetcher and the pool
// that reads many pages at once.
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

// The page of a successful answer, decoded from its charset and indexed;
// nullopt when the answer failed or the page is refused.
std::optional<PageIndex> openedPage(const Answer& answer);

} // namespace transfer
} // namespace veltrop
