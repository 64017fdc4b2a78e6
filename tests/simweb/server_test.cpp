// The server as a forward proxy: request forms, error answers, the request
// log, compression, latency, faults and a prompt stop.
#include <chrono>
#include <memory>
#include <thread>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "client.h"
#include "tools/simweb/server.h"

using namespace simtest;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kBreakOut = "http://www.clearstation.com/cgi-bin/drill_event?Event=BreakOut";
const std::string kQuotes = "http://www.washingtonpost.com/portfolio_quick_quotes.asp?tickers=IBM,";

long long millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SimWeb : public ::testing::Test {
protected:
    simweb::Server web;
    std::uint16_t port() const { return web.port(); }
};

TEST_F(SimWeb, AnswersProxyAndOriginFormAlikeAndClosesTheConnection)
{
    const Answer proxied = get(port(), kBreakOut);
    EXPECT_EQ(proxied.status(), 200);
    EXPECT_EQ(proxied.header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(proxied.header("Connection"), "close");
    EXPECT_EQ(proxied.header("Content-Length"), std::to_string(proxied.body().size()));
    EXPECT_TRUE(proxied.closed);

    const Answer direct = exchange(port(), "GET /cgi-bin/drill_event?Event=BreakOut HTTP/1.1\r\n"
                                           "Host: www.clearstation.com\r\n\r\n");
    EXPECT_EQ(direct.status(), 200);
    EXPECT_EQ(direct.body(), proxied.body());
}

TEST_F(SimWeb, HostCaseAndDefaultPortDoNotMatter)
{
    EXPECT_EQ(get(port(), "http://WWW.ClearStation.com:80/cgi-bin/drill_event?Event=BreakOut").body(),
              get(port(), kBreakOut).body());
}

TEST_F(SimWeb, UnknownHostIsBadGatewayAndUnknownPathNotFound)
{
    const Answer unknownHost = get(port(), "http://nowhere.invalid/");
    EXPECT_EQ(unknownHost.status(), 502);
    EXPECT_NE(unknownHost.body().find("nowhere.invalid"), std::string::npos);
    EXPECT_EQ(get(port(), "http://www.clearstation.com/no/such/page.html").status(), 404);
    EXPECT_EQ(get(port(), "http://www.clearstation.com/cgi-bin/drill_event?Event=NoSuchEvent").status(), 404);
}

TEST_F(SimWeb, EveryKnownHostHasAHomePage)
{
    for (const char* host : {"www.clearstation.com", "www.nasdaq.com", "www.wallstreettape.com", "investor.cnet.com",
                             "www.upside.com", "www.barchart.com", "www.spglobal.com", "www.washingtonpost.com",
                             "www.marketwatch.com", "www.telescan.com", "www.forbes.com", "www.validea.com",
                             "www.investors.com", "my.zacks.com", "www.pellamys-veltrop.example"})
        EXPECT_EQ(get(port(), std::string("http://") + host + "/").status(), 200) << host;
}

TEST_F(SimWeb, RequestsThatAreNotHttpOrNotGetAreRefused)
{
    EXPECT_EQ(exchange(port(), "HELLO\r\n\r\n").status(), 400);
    EXPECT_EQ(exchange(port(), "GET ftp://www.clearstation.com/ HTTP/1.1\r\n\r\n").status(), 400);
    EXPECT_EQ(exchange(port(), "GET / HTTP/1.1\r\n\r\n").status(), 400);  // origin form without Host
    EXPECT_EQ(exchange(port(), proxyRequest(kBreakOut, {}, "POST")).status(), 501);

    const Answer head = exchange(port(), proxyRequest(kBreakOut, {}, "HEAD"));
    EXPECT_EQ(head.status(), 200);
    EXPECT_EQ(head.body(), "");
    EXPECT_EQ(head.header("Content-Length"), std::to_string(get(port(), kBreakOut).body().size()));
}

TEST_F(SimWeb, AnOversizedRequestHeadIsCutOff)
{
    RawClient client(port());
    client.send("GET " + kBreakOut + " HTTP/1.1\r\nX-Filler: " + std::string(100000, 'x'));
    client.receive(3s);
    EXPECT_TRUE(client.closedByServer());
    EXPECT_EQ(web.requests().size(), 0u);
}

TEST_F(SimWeb, LogsEveryAbsoluteAddressInOrderOfArrival)
{
    get(port(), kBreakOut);
    get(port(), "http://nowhere.invalid/x?y=1");
    exchange(port(), "GET /sigtop.htx?start=all HTTP/1.1\r\nHost: www.barchart.com\r\n\r\n");
    web.setFault("/dropped", simweb::Fault::Drop);
    get(port(), "http://www.barchart.com/dropped");
    const std::vector<std::string> expected{kBreakOut, "http://nowhere.invalid/x?y=1",
                                            "http://www.barchart.com/sigtop.htx?start=all",
                                            "http://www.barchart.com/dropped"};
    EXPECT_EQ(web.requests(), expected);
    web.clearRequests();
    EXPECT_EQ(web.requests(), std::vector<std::string>{});
}

TEST_F(SimWeb, CompressesOnlyWhenTheClientAcceptsGzip)
{
    const Answer plain = get(port(), kBreakOut);
    EXPECT_EQ(plain.header("Content-Encoding"), "");

    const Answer packed = get(port(), kBreakOut, "Accept-Encoding: deflate, gzip\r\n");
    EXPECT_EQ(packed.header("Content-Encoding"), "gzip");
    ASSERT_GE(packed.body().size(), 2u);
    EXPECT_EQ(packed.body().substr(0, 2), "\x1f\x8b");
    EXPECT_LT(packed.body().size(), plain.body().size());

    const CurlAnswer decoded = curlGet(web.proxyUrl(), kBreakOut, "gzip");
    EXPECT_EQ(decoded.code, CURLE_OK);
    EXPECT_EQ(decoded.body, plain.body());

    EXPECT_EQ(get(port(), kBreakOut, "Accept-Encoding: gzip;q=0, identity\r\n").header("Content-Encoding"), "");
}

TEST_F(SimWeb, ServesTheSamePageByteForByteEveryTime)
{
    simweb::Server other;
    for (const std::string& url : {kBreakOut, kQuotes})
        EXPECT_EQ(get(port(), url).bytes, get(other.port(), url).bytes) << url;
}

TEST_F(SimWeb, SetPageOverridesOneExactAddress)
{
    const std::string url = "http://www.clearstation.com/test/page.html?a=1";
    web.setPage(url, "<P>hand-written</P>", "text/html; charset=windows-1252");
    const Answer answer = get(port(), url);
    EXPECT_EQ(answer.status(), 200);
    EXPECT_EQ(answer.body(), "<P>hand-written</P>");
    EXPECT_EQ(answer.header("Content-Type"), "text/html; charset=windows-1252");
    EXPECT_EQ(get(port(), url + "&b=2").status(), 404);

    web.setPage("http://unknown.example/page", "reachable now");
    EXPECT_EQ(get(port(), "http://unknown.example/page").body(), "reachable now");

    web.clearPages();
    EXPECT_EQ(get(port(), url).status(), 404);
}

TEST_F(SimWeb, LatencyDelaysEveryAnswer)
{
    web.setLatency(300);
    const auto start = Clock::now();
    EXPECT_EQ(get(port(), kBreakOut).status(), 200);
    EXPECT_GE(millisecondsSince(start), 300);
    web.setLatency(0);
}

TEST(SimWebOptions, AFixedPortAndLatencyFromTheOptions)
{
    simweb::Server first;
    const std::uint16_t port = first.port();
    EXPECT_NE(port, 0);
    EXPECT_EQ(first.proxyUrl(), "http://127.0.0.1:" + std::to_string(port));
    // A port in use cannot be taken twice.
    EXPECT_THROW(simweb::Server(simweb::Server::Options{port, 0}), std::system_error);

    simweb::Server slow(simweb::Server::Options{0, 200});
    const auto start = Clock::now();
    EXPECT_EQ(get(slow.port(), kBreakOut).status(), 200);
    EXPECT_GE(millisecondsSince(start), 200);
}

// ---- faults ----

TEST(FaultNames, MapTheCommandLineNames)
{
    using simweb::Fault;
    const std::vector<std::pair<std::string, Fault>> names{
        {"notfound", Fault::NotFound},         {"servererror", Fault::ServerError},
        {"stall", Fault::Stall},               {"drop", Fault::Drop},
        {"garbage", Fault::Garbage},           {"truncate", Fault::Truncate},
        {"oversize", Fault::Oversize},         {"redirectloop", Fault::RedirectLoop},
        {"redirectfile", Fault::RedirectToFile}, {"endlesspaging", Fault::EndlessPaging},
        {"pagingloop", Fault::PagingLoop}};
    for (const auto& [name, fault] : names)
        EXPECT_EQ(simweb::faultFromName(name), fault) << name;
    EXPECT_EQ(simweb::faultFromName("NotFound"), Fault::None);
    EXPECT_EQ(simweb::faultFromName(""), Fault::None);
}

TEST_F(SimWeb, FaultRulesMatchByPrefixAndTheLatestWins)
{
    web.setFault("http://www.clearstation.com/cgi-bin/", simweb::Fault::NotFound);
    EXPECT_EQ(get(port(), kBreakOut).status(), 404);
    EXPECT_EQ(get(port(), kQuotes).status(), 200);

    web.setFault("/cgi-bin/drill_event?Event=Break", simweb::Fault::ServerError);
    EXPECT_EQ(get(port(), kBreakOut).status(), 500);
    EXPECT_EQ(get(port(), "http://www.clearstation.com/cgi-bin/drill_event?Event=V").status(), 404);

    web.clearFaults();
    EXPECT_EQ(get(port(), kBreakOut).status(), 200);
}

TEST_F(SimWeb, DropClosesWithoutAByteAndGarbageIsNoHttp)
{
    web.setFault("/drop", simweb::Fault::Drop);
    web.setFault("/garbage", simweb::Fault::Garbage);

    const Answer dropped = get(port(), "http://www.barchart.com/drop");
    EXPECT_EQ(dropped.bytes, "");
    EXPECT_TRUE(dropped.closed);

    const Answer garbage = get(port(), "http://www.barchart.com/garbage");
    EXPECT_FALSE(garbage.bytes.empty());
    EXPECT_EQ(garbage.status(), 0);
    EXPECT_TRUE(garbage.closed);
    EXPECT_NE(curlGet(web.proxyUrl(), "http://www.barchart.com/garbage").code, CURLE_OK);
}

TEST_F(SimWeb, TruncateSendsHalfOfThePromisedBody)
{
    const std::size_t full = get(port(), kBreakOut).body().size();
    web.setFault(kBreakOut, simweb::Fault::Truncate);
    const Answer cut = get(port(), kBreakOut);
    EXPECT_EQ(cut.status(), 200);
    EXPECT_EQ(cut.header("Content-Length"), std::to_string(full));
    EXPECT_EQ(cut.body().size(), full / 2);
    EXPECT_TRUE(cut.closed);
    EXPECT_EQ(curlGet(web.proxyUrl(), kBreakOut).code, CURLE_PARTIAL_FILE);
}

TEST_F(SimWeb, ErrorFaultsAnswerWithTheirStatus)
{
    web.setFault("/missing", simweb::Fault::NotFound);
    web.setFault("/broken", simweb::Fault::ServerError);
    EXPECT_EQ(get(port(), "http://www.nasdaq.com/missing").status(), 404);
    EXPECT_EQ(get(port(), "http://www.nasdaq.com/broken").status(), 500);
    // Faults come before the host check, so even an unknown host can fail this way.
    EXPECT_EQ(get(port(), "http://nowhere.invalid/broken").status(), 500);
}

TEST_F(SimWeb, RedirectFaultsPointAtThemselvesOrAtAFile)
{
    web.setFault("/loop", simweb::Fault::RedirectLoop);
    web.setFault("/file", simweb::Fault::RedirectToFile);

    const Answer loop = get(port(), "http://www.nasdaq.com/loop?x=1");
    EXPECT_EQ(loop.status(), 302);
    EXPECT_EQ(loop.header("Location"), "http://www.nasdaq.com/loop?x=1");
    EXPECT_EQ(curlGet(web.proxyUrl(), "http://www.nasdaq.com/loop?x=1", nullptr, 5).code, CURLE_TOO_MANY_REDIRECTS);

    const Answer file = get(port(), "http://www.nasdaq.com/file");
    EXPECT_EQ(file.status(), 302);
    EXPECT_EQ(file.header("Location"), "file:///etc/passwd");
}

TEST_F(SimWeb, OversizeKeepsSendingAChunkedBody)
{
    web.setFault("/big", simweb::Fault::Oversize);
    RawClient client(port());
    client.send(proxyRequest("http://www.nasdaq.com/big"));
    const Answer answer{client.receive(10s, 4u << 20)};
    EXPECT_EQ(answer.status(), 200);
    EXPECT_EQ(answer.header("Transfer-Encoding"), "chunked");
    EXPECT_EQ(answer.header("Content-Length"), "");
    EXPECT_GE(answer.bytes.size(), 4u << 20);
    EXPECT_FALSE(client.closedByServer());
}

TEST_F(SimWeb, StallSendsNothingAndReleasesTheClientThatGivesUp)
{
    web.setFault("/stall", simweb::Fault::Stall);
    {
        RawClient client(port());
        client.send(proxyRequest("http://www.nasdaq.com/stall"));
        EXPECT_EQ(client.receive(300ms), "");
        EXPECT_FALSE(client.closedByServer());
    }
    // The stalled connection did not block the others.
    EXPECT_EQ(get(port(), kBreakOut).status(), 200);
}

TEST(SimWebStop, StopsPromptlyWhileConnectionsStallSleepOrStream)
{
    auto web = std::make_unique<simweb::Server>();
    web->setFault("/stall", simweb::Fault::Stall);
    web->setFault("/big", simweb::Fault::Oversize);
    RawClient stalled(web->port());
    stalled.send(proxyRequest("http://www.nasdaq.com/stall"));
    RawClient streaming(web->port());
    streaming.send(proxyRequest("http://www.nasdaq.com/big"));
    RawClient silent(web->port());  // connects and never sends its request
    EXPECT_GE(streaming.receive(2s, 1u << 20).size(), 1u << 20);
    web->setLatency(60000);
    RawClient sleeping(web->port());
    sleeping.send(proxyRequest(kBreakOut));
    std::this_thread::sleep_for(200ms);

    const auto start = Clock::now();
    web.reset();
    EXPECT_LT(millisecondsSince(start), 1000);
    EXPECT_EQ(stalled.receive(1s), "");
    EXPECT_TRUE(stalled.closedByServer());
    EXPECT_EQ(sleeping.receive(1s), "");
    EXPECT_TRUE(sleeping.closedByServer());
}

TEST(SimWebStop, ServesManyClientsAtOnce)
{
    simweb::Server web;
    std::vector<std::thread> clients;
    std::vector<int> statuses(16, 0);
    for (std::size_t i = 0; i < statuses.size(); ++i)
        clients.emplace_back([&, i] { statuses[i] = get(web.port(), kQuotes).status(); });
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(statuses, std::vector<int>(16, 200));
    EXPECT_EQ(web.requests().size(), 16u);
}

} // namespace
