// The faults a busy site gives: those that fail the first request for each
// address and then answer as usual, and the 503 that never lets up.
#include <string>
#include <vector>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "client.h"
#include "tools/simweb/server.h"

using namespace simtest;
using simweb::Fault;

namespace {

const std::string kPerformance = "http://www.barchart.com/performance.htx?sym=";

struct Row {
    const char* name;  // as on the command line
    Fault fault;
    int firstStatus;  // 0: closed without a byte
    const char* firstRetryAfter;
    int secondStatus;
};

const std::vector<Row> kRows{
    {"droponce", Fault::DropOnce, 0, "", 200},
    {"unavailableonce", Fault::UnavailableOnce, 503, "1", 200},
    {"toomanyonce", Fault::TooManyOnce, 429, "1", 200},
    {"unavailable", Fault::Unavailable, 503, "", 503},
};

TEST(TransientFaults, FirstAndSecondAnswerPerAddress)
{
    for (const Row& row : kRows) {
        simweb::Server web;
        EXPECT_EQ(simweb::faultFromName(row.name), row.fault) << row.name;
        web.setFault(kPerformance, row.fault);
        const std::string ibm = kPerformance + "IBM", ge = kPerformance + "GE";
        const std::string usual = get(web.port(), "http://www.barchart.com/").bytes;

        const Answer first = get(web.port(), ibm);
        EXPECT_EQ(first.status(), row.firstStatus) << row.name;
        EXPECT_EQ(first.header("Retry-After"), row.firstRetryAfter) << row.name;
        EXPECT_EQ(first.bytes.empty(), row.firstStatus == 0) << row.name;
        EXPECT_TRUE(first.closed) << row.name;
        const Answer second = get(web.port(), ibm);
        EXPECT_EQ(second.status(), row.secondStatus) << row.name;
        EXPECT_EQ(second.header("Retry-After"), "") << row.name;

        // Another address has its own first time; the one already failed stays served.
        EXPECT_EQ(get(web.port(), ge).status(), row.firstStatus) << row.name;
        EXPECT_EQ(get(web.port(), ge).status(), row.secondStatus) << row.name;
        EXPECT_EQ(get(web.port(), ibm).status(), row.secondStatus) << row.name;
        // Addresses the rule does not match never fail.
        EXPECT_EQ(get(web.port(), "http://www.barchart.com/").bytes, usual) << row.name;

        // Clearing the faults forgets which addresses failed.
        web.clearFaults();
        web.setFault(kPerformance, row.fault);
        EXPECT_EQ(get(web.port(), ibm).status(), row.firstStatus) << row.name;
        EXPECT_EQ(web.requests().size(), 8u) << row.name << ": every try is logged";
    }
}

TEST(TransientFaults, TheAnswerAfterTheFailureIsTheUsualOneOnAKeptAliveConnection)
{
    simweb::Server web, clean;
    web.setFault("/performance", Fault::UnavailableOnce);
    const std::string url = kPerformance + "IBM";
    EXPECT_EQ(get(web.port(), url).status(), 503);

    RawClient client(web.port());
    client.send(proxyRequest(url));
    const std::string expected = get(clean.port(), url).body();
    // The server keeps the connection open, so everything it sends is in by then.
    const Answer answer{client.receive(500ms)};
    EXPECT_EQ(answer.status(), 200);
    EXPECT_EQ(answer.header("Connection"), "keep-alive");
    EXPECT_EQ(answer.body(), expected);
    EXPECT_FALSE(client.closedByServer());
}

TEST(TransientFaults, LibcurlSeesAnEmptyReplyAndThenThePage)
{
    simweb::Server web;
    web.setFault("http://www.barchart.com/", Fault::DropOnce);
    const std::string url = kPerformance + "IBM";
    EXPECT_EQ(curlGet(web.proxyUrl(), url).code, CURLE_GOT_NOTHING);
    const CurlAnswer again = curlGet(web.proxyUrl(), url);
    EXPECT_EQ(again.code, CURLE_OK);
    EXPECT_EQ(again.status, 200);
}

} // namespace
