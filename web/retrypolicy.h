#pragma once
// Whether a page that did not open is asked for again, and after what pause:
// a pure function of how its transfer ended, so that every rule can be
// checked without a network or a clock.
#include <cstdint>
#include <optional>
#include <string_view>

#include <curl/curl.h>

namespace veltrop {

struct RetryRules {
    int retries = 2;  // asks after the first
    long usualPauseMilliseconds = 1000;
};

// How one transfer of a page ended, as its easy handle tells it.
struct TransferEnd {
    long status = 0;        // 0 when no answer came
    CURLcode result = CURLE_OK;
    long headerBytes = 0;   // of an answer, whatever its status
    int attempt = 1;        // this transfer's number, the first being 1
    std::optional<std::string_view> retryAfter;  // the answer's Retry-After, when it named one
    std::int64_t nowMilliseconds = 0;  // the wall clock, since the epoch: what a Retry-After date is read against
    long millisecondsLeft = 0;         // until the page's time limit runs out
};

// The pause before asking again, when the failure says nothing of the page
// itself: the connection closed before any byte of an answer, or the site
// answered 502, 503, 504 or 429 (busy, or a proxy that could not reach it).
// The pause is the one a Retry-After names, else the usual one. nullopt:
// give up, because the page is missing, broken or too slow and stays so, the
// retries are spent, or the pause would not end before the time limit.
std::optional<long> retryPause(const RetryRules& rules, const TransferEnd& end);

} // namespace veltrop
