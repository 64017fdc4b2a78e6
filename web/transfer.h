#pragma once
// One HTTP transfer, as every page of the program is read: libcurl set up
// for the web's two protocols only, a bounded number of redirects, a
// whole-transfer time limit and a capped body.
#include <cstddef>
#include <memory>
#include <string>

#include <curl/curl.h>

#include "web/fetchpool.h"
#include "web/retrypolicy.h"

namespace veltrop::transfer {

// What every request says it is, unless the catalogue says otherwise.
inline constexpr const char* defaultUserAgent = "PellamysVeltrop/1.4";

// The cap applies to the body after decompression, so a small compressed
// answer cannot blow up in memory either.
inline constexpr std::size_t maxBodyBytes = std::size_t{8} << 20;

struct Answer {
    CURLcode result = CURLE_OK;
    long status = 0;  // 0 when no answer arrived
    std::string body;
    std::string contentType;
    std::string finalUrl;
};

// Where a transfer writes its body, up to `limit` bytes, and libcurl its
// words on a failure.
struct BodySink {
    std::string data;
    std::size_t limit = maxBodyBytes;
    bool outOfMemory = false;  // no memory to hold what came
    char errorText[CURL_ERROR_SIZE] = {};
};

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

void initCurlOnce();

// Sets `easy` up for `request` with `timeLimitMilliseconds` left, writing
// into `sink` (which must outlive the transfer). False when libcurl refuses
// an option.
// libcurl copies `userAgent`.
bool configure(CURL* easy, const FetchPool::Request& request, long timeLimitMilliseconds, BodySink& sink,
               const std::string& userAgent = defaultUserAgent);

// What the transfer on `easy` brought; the body is moved out of `sink`.
Answer collect(CURL* easy, CURLcode result, BodySink& sink);

// How the transfer on `easy`, its page's `attempt`th, ended, for the retry
// rules, with `millisecondsLeft` of its page's time limit. Never needs memory.
TransferEnd endOf(CURL* easy, CURLcode result, int attempt, long millisecondsLeft);

// Why a transfer that ended with `result` and `status` gave no page; reason
// None when it answered 2xx (whether its page can be read is the worker's to
// say).
FetchPool::Failure::Reason reasonOf(CURLcode result, long status);

// What an ended transfer gives its page's handler, on a worker: the page of
// a complete 2xx answer, decoded from its charset and indexed, when it is
// wanted, else why there is none; `failure` comes with the engine's part of
// it. Empties `answer`. Never throws: a page that cannot be read for want of
// memory is one that did not open.
FetchPool::Arrival arrivalOf(Answer& answer, const BodySink& sink, FetchPool::Failure failure, bool wantsPage);

} // namespace veltrop::transfer
