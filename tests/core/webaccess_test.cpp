// Why a page did not open, as a person reads it in a run's report.
#include "domain/webaccess.h"

#include <gtest/gtest.h>

namespace veltrop {
namespace {

TEST(WhyNotOpened, EachFailureInAPersonsWordsWithItsRetriesAndItsOwnTimeLimit)
{
    using enum FetchPool::Failure::Reason;
    struct Row {
        FetchPool::Failure::Reason reason;
        long status;
        int retries;
        long timeLimitMilliseconds;
        const char* detail;
        const char* text;
    };
    const Row rows[] = {
        {Status, 404, 0, 60'000, "", "the page answered 404"},
        {Status, 500, 0, 60'000, "", "the page answered 500"},
        {Status, 503, 2, 60'000, "", "the page answered 503, retried twice"},
        {Reset, 0, 2, 60'000, "Empty reply from server", "the connection broke off, retried twice"},
        {Reset, 0, 1, 60'000, "", "the connection broke off, retried once"},
        {Reset, 0, 5, 60'000, "", "the connection broke off, retried 5 times"},
        {TimedOut, 0, 0, 60'000, "Operation timed out", "no answer in 60 s"},
        {TimedOut, 0, 0, 10'000, "", "no answer in 10 s"},
        {TimedOut, 0, 1, 1500, "", "no answer in 1500 ms, retried once"},
        {Refused, 0, 0, 60'000, "Connection refused", "could not connect"},
        {NotFound, 0, 0, 60'000, "", "could not connect"},
        {NoNetwork, 0, 0, 60'000, "", "could not connect"},
        {TooLarge, 200, 0, 60'000, "", "the page was too large"},
        {Unreadable, 200, 0, 60'000, "", "the page could not be read"},
        {OutOfMemory, 0, 0, 60'000, "", "out of memory"},
        {Cancelled, 0, 0, 60'000, "", "Cancel"},
        {Other, 0, 0, 60'000, "SSL certificate problem", "SSL certificate problem"},
        {Other, 0, 0, 60'000, "", "the page did not open"},
    };
    for (const Row& row : rows) {
        FetchPool::Failure failure;
        failure.reason = row.reason;
        failure.status = row.status;
        failure.retries = row.retries;
        failure.timeLimitMilliseconds = row.timeLimitMilliseconds;
        failure.detail = row.detail;
        EXPECT_EQ(whyNotOpened(failure), row.text);
    }
}

} // namespace
} // namespace veltrop
