// The network faults a hostile or broken web can throw at the program, each
// injected through the simulated web and met by the real fetcher or the real
// commands: stalls, broken and oversized answers, redirects away from the web,
// odd tickers in addresses, endless next-page chains and a broken proxy.
#include <fcntl.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "app/windowcontroller.h"
#include "files/listfile.h"
#include "web/fetchpool.h"
#include "rank/ranksources.h"
#include "testsupport.h"
#include "tools/simweb/http.h"
#include "tools/simweb/market.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/quotemodel.h"
#include "tools/simweb/sites.h"

using namespace veltrop;
using veltrop::testing::press;
using veltrop::testing::listPage;
using veltrop::testing::ProxyRoute;
using veltrop::testing::RecordingDialogs;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

const std::string couldntConnect = "Couldn't connect. Clear list and try again.";
const std::string noTickers = "No Tickers selected";
const std::string filterFailed = "Could not open Filtering site.. please write support@pellamys-veltrop.example";
const std::string noneRanked = "No tickers ranked.  Clear and try again.";
const std::string noConnection = "No Web connection found.  Please connect to use the program";

std::string http(const char* host) { return std::string("http://") + host; }

const std::string nasdaqList = http(hosts::nasdaq) + "/dynamic/nasdaq100_activity.stm";
const std::string signalList = http(hosts::barchart) + "/sigtop.htx?start=all";
const std::string breakOutList = http(hosts::clearstation) + "/cgi-bin/drill_event?Event=BreakOut";
const std::string quotePage = http(hosts::quotes) + "/portfolio_quick_quotes.asp";
const std::string opinionPage = http(hosts::telescan) + "/wsc2/Interpretive_Text";

long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

using veltrop::testing::cellPage;
using veltrop::testing::keptTickers;
using veltrop::testing::rankAddress;
using veltrop::testing::rankPrefix;

// Peak resident memory of this process in KiB, after resetting the peak to
// the present when the kernel allows it.
long peakKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    return 0;
}
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A loopback port that listens but is never served: a client that connected
// to it would show up as a pending connection.
class Witness {
public:
    Witness()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 8) != 0
            || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n) != 0)
            ADD_FAILURE() << "no witness port";
        port_ = ntohs(a.sin_port);
    }
    ~Witness() { ::close(fd_); }
    std::string at(const std::string& scheme) const { return scheme + "://127.0.0.1:" + std::to_string(port_) + "/list"; }
    bool contacted() const
    {
        const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c >= 0)
            ::close(c);
        return c >= 0;
    }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// A file for the life of the object.
struct TempFile {
    std::filesystem::path path;
    TempFile(const std::string& name, const std::string& content)
        : path(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid())))
    {
        std::ofstream(path, std::ios::binary) << content;
    }
    ~TempFile() { std::filesystem::remove(path); }
};


// ---- The fetcher on its own: timing and limits ------------------------------

class FaultFetcher : public ::testing::Test {
protected:
    const std::string page = http(hosts::nasdaq) + "/fault/page.html";
    simweb::Server web;
    ProxyRoute route{web.proxyUrl()};
    PageFetcher fetcher;

    // Opens a good page first, so a failed open is seen to empty it.
    void openGoodPage()
    {
        web.clearFaults();
        web.setPage(page, "<table><tr><td>IBM</td></tr></table>");
        ASSERT_TRUE(fetcher.OpenPage(page, 5));
        ASSERT_EQ(fetcher.GetCellText(1, 1, 1), "IBM");
    }
    void expectNoPage()
    {
        EXPECT_EQ(fetcher.GetCellText(1, 1, 1), "");
        EXPECT_EQ(fetcher.GetPageSource(), "");
        EXPECT_EQ(fetcher.GetPageText(), "");
        EXPECT_EQ(fetcher.pageUrl(), "");
    }
};

TEST_F(FaultFetcher, HeadersThenSilenceAndADripFailAtTheTimeLimit)
{
    for (const simweb::Fault fault : {simweb::Fault::HeadersThenSilence, simweb::Fault::Drip}) {
        SCOPED_TRACE(int(fault));
        openGoodPage();
        web.setFault(page, fault);
        const auto start = Clock::now();
        EXPECT_FALSE(fetcher.OpenPage(page, 2));
        const long long took = msSince(start);
        EXPECT_GE(took, 1900);
        EXPECT_LT(took, 3500);
        expectNoPage();
    }
}

TEST_F(FaultFetcher, BrokenAnswersFailAndNothingOfThemIsParsed)
{
    const struct {
        simweb::Fault fault;
        const char* name;
    } faults[] = {
        {simweb::Fault::ShortBody, "Content-Length 1000, 3 bytes, close"},
        {simweb::Fault::Drop, "empty reply"},
        {simweb::Fault::Garbage, "garbage instead of HTTP"},
        {simweb::Fault::Truncate, "half the promised body"},
        {simweb::Fault::ProxyAuth, "407 from the proxy"},
    };
    for (const auto& [fault, name] : faults) {
        SCOPED_TRACE(name);
        openGoodPage();
        web.setFault(page, fault);
        const auto start = Clock::now();
        EXPECT_FALSE(fetcher.OpenPage(page, 10));
        // An empty reply is asked for twice more, a second apart.
        EXPECT_LT(msSince(start), fault == simweb::Fault::Drop ? 5000 : 3000);
        expectNoPage();
    }
}

TEST_F(FaultFetcher, HugeBodiesFailAtTheCapWithMemoryBounded)
{
    for (const simweb::Fault fault : {simweb::Fault::Oversize, simweb::Fault::GzipBomb}) {
        SCOPED_TRACE(int(fault));
        openGoodPage();
        web.setFault(page, fault);
        resetPeak();
        const long before = peakKiB();
        const auto start = Clock::now();
        EXPECT_FALSE(fetcher.OpenPage(page, 20));
        EXPECT_LT(msSince(start), 10000);
        ASSERT_GT(before, 0);
        EXPECT_LT(peakKiB() - before, 64 * 1024) << "KiB of peak growth";
        expectNoPage();
    }
}

TEST_F(FaultFetcher, RedirectsEndAfterTenAndNeverLeaveTheWeb)
{
    openGoodPage();
    web.setFault(page, simweb::Fault::RedirectLoop);
    web.clearRequests();
    EXPECT_FALSE(fetcher.OpenPage(page, 10));
    EXPECT_EQ(web.requests().size(), 11u) << "the first request and ten redirects";
    expectNoPage();

    for (const simweb::Fault fault :
         {simweb::Fault::RedirectToFile, simweb::Fault::RedirectToFtp, simweb::Fault::RedirectToGopher}) {
        SCOPED_TRACE(int(fault));
        openGoodPage();
        web.setFault(page, fault);
        EXPECT_FALSE(fetcher.OpenPage(page, 10));
        expectNoPage();
    }

    // Redirects to places that would show it if they were followed.
    const TempFile local("veltrop-fault-page", "<table><tr><td>FROMFILE</td></tr></table>");
    const Witness witness;
    for (const std::string& location :
         {"file://" + local.path.string(), witness.at("ftp"), witness.at("gopher"), witness.at("dict")}) {
        SCOPED_TRACE(location);
        openGoodPage();
        web.setRedirect(page, location);
        EXPECT_FALSE(fetcher.OpenPage(page, 5));
        expectNoPage();
        EXPECT_FALSE(witness.contacted());
    }
}

// ---- The commands ------------------------------------------------------------

class FaultCommands : public veltrop::testing::ControllerTest {
protected:

    void SetUp() override
    {
        window.load();
        ASSERT_TRUE(dialogs.messages.empty());
        web.clearRequests();
    }

    void tickLists(std::initializer_list<int> boxes)
    {
        for (auto& [index, box] : window.listBoxes)
            box.value = 0;
        for (int b : boxes)
            window.listBoxes[b].value = 1;
    }
    void tickRanks(std::initializer_list<int> boxes)
    {
        for (auto& [index, box] : window.rankBoxes)
            box.value = 0;
        for (int b : boxes)
            window.rankBoxes[b].value = 1;
    }
    // Puts a list into the table as Get Lists leaves it.
    void setList(const std::vector<std::string>& list)
    {
        window.setTickerList(list);
        window.rankListsButton.enabled = true;
        window.getListsButton.enabled = false;
    }
    std::vector<std::string> taken() const
    {
        std::vector<std::string> v;
        for (int i = 1; i <= window.tickerList().size(); ++i)
            v.push_back(window.tickerList()[i - 1].ticker);
        return v;
    }
    std::vector<std::string> requestsStartingWith(const std::string& prefix) const
    {
        std::vector<std::string> v;
        for (const std::string& url : web.requests())
            if (url.starts_with(prefix))
                v.push_back(url);
        return v;
    }
    // Ticker -> the value the results grid shows for it.
    std::map<std::string, std::string> gridValues() const
    {
        std::map<std::string, std::string> values;
        for (int r = 1; r < window.resultsGrid.rows(); ++r)
            if (!window.resultsGrid.text(r, 0).empty())
                values[window.resultsGrid.text(r, 0)] = window.resultsGrid.text(r, 2);
        return values;
    }
    std::vector<std::string> messages()
    {
        std::vector<std::string> m;
        m.swap(dialogs.messages);
        return m;
    }
    void loadFile(const std::string& path)
    {
        window.loadListButton.enabled = true;
        dialogs.nextFileNames = {path};
        window.click(Command::LoadList);
        messages();
    }
};

std::vector<std::string> listed(const std::string& url)
{
    const auto q = url.find('?');
    const std::string rest = url.substr(7);
    const std::string host = rest.substr(0, rest.find('/'));
    const std::string path = url.substr(7 + host.size(), q == std::string::npos ? std::string::npos : q - 7 - host.size());
    return simweb::listTickers(host, path, q == std::string::npos ? "" : url.substr(q + 1));
}

TEST_F(FaultCommands, AStalledPageThatFailsIsAPageThatDidNotOpen)
{
    // The commands wait 60 s for a page; the stall here ends sooner with the
    // server closing, which the client sees as a page that did not open.
    web.setStallLimit(300ms);
    const std::vector<std::string> kept = keptTickers(3);
    for (const simweb::Fault fault : {simweb::Fault::HeadersThenSilence, simweb::Fault::Drip, simweb::Fault::Stall}) {
        SCOPED_TRACE(int(fault));
        const auto start = Clock::now();

        // Get Lists goes on with its next source.
        web.clearFaults();
        web.setFault(nasdaqList, fault);
        press(window, Command::ClearAll);
        tickLists({3, 8});
        window.click(Command::GetLists);
        EXPECT_EQ(messages(), std::vector<std::string>{couldntConnect});
        EXPECT_EQ(taken(), listed(signalList));

        // A rank page ends its source; the next source runs for every ticker.
        // Source 0 gives 8 points a ticker, source 5 gives 4.
        web.clearFaults();
        for (const std::string& t : kept) {
            web.setPage(rankAddress(0, t), cellPage(14, 2, 2, "8"));
            web.setPage(rankAddress(5, t), cellPage(11, 2, 4, "4"));
        }
        web.setFault(rankAddress(0, kept[1]), fault);
        setList(kept);
        tickRanks({0, 5});
        window.click(Command::RankLists);
        EXPECT_EQ(gridValues(), (std::map<std::string, std::string>{{kept[0], "6"}, {kept[1], "2"}, {kept[2], "2"}}));
        messages();

        // The filter's page: its message, then nothing to rank.
        web.clearFaults();
        web.setFault(quotePage, fault);
        web.clearRequests();
        setList(kept);
        tickRanks({0});
        window.click(Command::RankLists);
        EXPECT_EQ(messages(), (std::vector<std::string>{filterFailed, noneRanked}));
        EXPECT_TRUE(requestsStartingWith(rankPrefix(0)).empty());

        // The opinion report shown before stays.
        web.clearFaults();
        web.setFault(opinionPage, fault);
        window.resultsGrid.showRanked({{kept[0], 1, 1}}, "");
        window.resultsGrid.setCurrent(1, 0);
        window.opinionButton.enabled = true;
        window.opinionBox.text = "the report before";
        window.click(Command::Opinion);
        EXPECT_EQ(window.opinionBox.text, "the report before");
        EXPECT_EQ(window.statusLabel.caption, "Idle...");
        EXPECT_TRUE(messages().empty());

        // A connection that closes without a byte of an answer is asked
        // again twice, a second apart, for each of the four pages.
        EXPECT_LT(msSince(start), fault == simweb::Fault::Stall ? 16000 : 8000);
    }
}

TEST_F(FaultCommands, ABrokenOrHugeListPageGivesNoTickers)
{
    // Enough tickers that any part of the page holds some.
    std::vector<std::string> many;
    for (int i = 1; i <= 400; ++i)
        many.push_back("T" + std::to_string(i));
    web.setPage(nasdaqList, listPage(11, 1, 2, many));
    for (const simweb::Fault fault : {simweb::Fault::Truncate, simweb::Fault::ShortBody, simweb::Fault::Drop,
                                      simweb::Fault::Garbage, simweb::Fault::Oversize, simweb::Fault::GzipBomb}) {
        SCOPED_TRACE(int(fault));
        web.clearFaults();
        web.setFault(nasdaqList, fault);
        press(window, Command::ClearAll);
        tickLists({3});
        window.click(Command::GetLists);
        EXPECT_EQ(messages(), (std::vector<std::string>{couldntConnect, noTickers}));
        EXPECT_EQ(window.tickerList().size(), 0);
        EXPECT_EQ(window.getListsButton.caption, "Get Lists");
    }
}

TEST_F(FaultCommands, ABrokenRankPageEndsItsSourceAndNothingOfItCounts)
{
    const std::vector<std::string> kept = keptTickers(3);
    for (const std::string& t : kept) {
        web.setPage(rankAddress(0, t), cellPage(14, 2, 2, "8"));
        web.setPage(rankAddress(5, t), cellPage(11, 2, 4, "4"));
    }
    for (const simweb::Fault fault :
         {simweb::Fault::ShortBody, simweb::Fault::Drop, simweb::Fault::Garbage, simweb::Fault::Truncate,
          simweb::Fault::Oversize, simweb::Fault::GzipBomb, simweb::Fault::RedirectLoop,
          simweb::Fault::RedirectToFile, simweb::Fault::RedirectToFtp, simweb::Fault::ProxyAuth}) {
        SCOPED_TRACE(int(fault));
        web.clearFaults();
        web.setFault(rankAddress(0, kept[1]), fault);
        web.clearRequests();
        setList(kept);
        tickRanks({0, 5});
        const auto start = Clock::now();
        window.click(Command::RankLists);
        EXPECT_LT(msSince(start), 5000);
        EXPECT_EQ(gridValues(), (std::map<std::string, std::string>{{kept[0], "6"}, {kept[1], "2"}, {kept[2], "2"}}));
        EXPECT_LE(requestsStartingWith(rankAddress(0, kept[1])).size(), 11u);
        EXPECT_TRUE(messages().empty());
    }
}

// A BreakOut list page: tickers in table 14 from row 3, column 1, and the
// next-page link in table 17, row 1, column 4.
std::string breakOutPage(const std::vector<std::string>& tickers, const std::string& nextHref)
{
    std::string after = "<table><tr><td>15</td></tr></table><table><tr><td>16</td></tr></table>";
    after += "<table><tr><td>-</td><td>-</td><td>-</td><td>";
    if (!nextHref.empty())
        after += "<a href=\"" + nextHref + "\">Next Page</a>";
    after += "</td></tr></table>";
    return listPage(14, 2, 1, tickers, after);
}

TEST_F(FaultCommands, NextPageLinksAwayFromTheWebAreNotFollowed)
{
    const TempFile local("veltrop-fault-list", breakOutPage({"FROMFILE"}, ""));
    const Witness witness;
    const std::string redirected = http(hosts::clearstation) + "/cgi-bin/drill_event?Event=BreakOut&page=2";
    web.setRedirect(redirected, witness.at("ftp"));
    for (const std::string& next : {"javascript:location='" + redirected + "'", "file://" + local.path.string(),
                                    std::string("ftp://127.0.0.1/list"), redirected}) {
        SCOPED_TRACE(next);
        web.setPage(breakOutList, breakOutPage({"AAA", "BBB"}, next));
        web.clearRequests();
        press(window, Command::ClearAll);
        tickLists({0});
        window.click(Command::GetLists);
        EXPECT_TRUE(messages().empty()) << "a next page that does not open ends the walk silently";
        EXPECT_EQ(taken(), (std::vector<std::string>{"AAA", "BBB"}));
        for (const std::string& url : web.requests())
            EXPECT_TRUE(url == breakOutList || url == redirected) << url;
        EXPECT_FALSE(witness.contacted());
    }
}

TEST_F(FaultCommands, NextPageChainsEndInListWalks)
{
    // A -> B -> A.
    const std::string b = http(hosts::clearstation) + "/cgi-bin/drill_event?Event=BreakOut&page=b";
    web.setPage(breakOutList, breakOutPage({"AAA"}, b));
    web.setPage(b, breakOutPage({"BBB"}, breakOutList));
    tickLists({0});
    window.click(Command::GetLists);
    EXPECT_EQ(taken(), (std::vector<std::string>{"AAA", "BBB"}));
    EXPECT_EQ(web.requests(), (std::vector<std::string>{breakOutList, b}));

    // Every page links to a new ?page=N: the walk stops at 100 pages.
    web.clearPages();
    web.clearRequests();
    web.setFault(breakOutList, simweb::Fault::EndlessPaging);
    press(window, Command::ClearAll);
    const auto start = Clock::now();
    window.click(Command::GetLists);
    EXPECT_EQ(web.requests().size(), 100u);
    EXPECT_LT(msSince(start), 20000);
    EXPECT_TRUE(messages().empty());
}

// A fund-holdings page: `holdings` numbered rows on every other row of table
// 11 from row 3, and the next link at row 53, column 2.
std::string fundPage(int holdings, const std::string& nextHref)
{
    std::string html = "<html><body>";
    for (int t = 1; t < 11; ++t)
        html += "<table><tr><td>menu</td></tr></table>";
    html += "<table>";
    for (int r = 1; r <= 53; ++r) {
        const bool holding = r >= 3 && r % 2 == 1 && (r - 1) / 2 <= holdings;
        html += "<tr><td>-</td><td>";
        if (r == 53 && !nextHref.empty())
            html += "<a href=\"" + nextHref + "\">Next</a>";
        html += "</td><td>" + std::string(holding ? "1,000" : "") + "</td></tr>";
    }
    return html + "</table></body></html>";
}

TEST_F(FaultCommands, NextPageChainsEndInTheFundCount)
{
    const std::string ticker = keptTickers(1).front();
    const std::string first = rankAddress(6, ticker);
    const std::string b = first + "&page=b";
    const struct {
        const char* name;
        int pages;        // pages set up after the first
        bool loop;        // the last links back to the first
        std::size_t read; // pages the walk must read
    } chains[] = {{"A -> B -> A", 1, true, 2}, {"endless ?page=N", 150, false, 100}};
    for (const auto& chain : chains) {
        SCOPED_TRACE(chain.name);
        web.clearPages();
        auto pageUrl = [&](int n) { return n == 0 ? first : first + "&page=" + std::to_string(n); };
        for (int n = 0; n <= chain.pages; ++n) {
            const std::string next = n < chain.pages ? pageUrl(n + 1) : chain.loop ? first : "";
            web.setPage(pageUrl(n), fundPage(2, next));
        }
        web.clearRequests();
        setList({ticker});
        tickRanks({6});
        const auto start = Clock::now();
        window.click(Command::RankLists);
        EXPECT_LT(msSince(start), 20000);
        EXPECT_EQ(requestsStartingWith(first).size(), chain.read);
        // Two holdings a page, one source: the grid shows the count itself.
        EXPECT_EQ(window.resultsGrid.text(1, 0), ticker);
        EXPECT_EQ(window.resultsGrid.text(1, 2), std::to_string(2 * chain.read));
        messages();
    }
}

// ---- Odd tickers on the wire ---------------------------------------------------

bool unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
           || c == '_' || c == '~';
}

// True when `piece` holds only unreserved characters and %XX escapes, and
// decodes to `text`.
bool carriesEncoded(const std::string& piece, const std::string& text)
{
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] == '%') {
            if (i + 2 >= piece.size() || !std::isxdigit(static_cast<unsigned char>(piece[i + 1]))
                || !std::isxdigit(static_cast<unsigned char>(piece[i + 2])))
                return false;
            i += 2;
        } else if (!unreserved(static_cast<unsigned char>(piece[i]))) {
            return false;
        }
    }
    return simweb::percentDecode(piece) == text;
}

struct Head {
    std::string method, target, version;
    std::vector<std::pair<std::string, std::string>> headers;
};

// Splits a head as it came off the wire; a line that is not "Name: value"
// is kept with an empty name, so it is seen.
Head splitHead(const std::string& raw)
{
    Head head;
    std::vector<std::string> lines;
    for (std::size_t at = 0;;) {
        const auto end = raw.find("\r\n", at);
        lines.push_back(raw.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos)
            break;
        at = end + 2;
    }
    std::istringstream first(lines.front());
    first >> head.method >> head.target >> head.version;
    std::string rest;
    if (std::getline(first, rest) && !rest.empty())
        head.version += rest;  // more than three words: the request line was broken
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto colon = lines[i].find(':');
        head.headers.emplace_back(colon == std::string::npos ? "" : lines[i].substr(0, colon), lines[i]);
    }
    return head;
}

class OddTickers : public FaultCommands {
protected:
    const std::set<std::string> knownHeaders{"Host", "User-Agent", "Accept", "Accept-Encoding", "Proxy-Connection"};

    // Checks every request head the server saw: a clean request line for a
    // program host, only the client's own headers, once each.
    void expectCleanHeads(const std::set<std::string>& hosts)
    {
        const std::vector<std::string> heads = web.requestHeads();
        EXPECT_FALSE(heads.empty());
        for (const std::string& raw : heads) {
            const Head head = splitHead(raw);
            SCOPED_TRACE(raw.substr(0, 200));
            EXPECT_EQ(head.method, "GET");
            EXPECT_EQ(head.version, "HTTP/1.1");
            for (unsigned char c : head.target)
                ASSERT_TRUE(c > 0x20 && c < 0x7f && c != '#') << "byte " << int(c) << " in the request line";
            std::set<std::string> names;
            for (const auto& [name, line] : head.headers) {
                EXPECT_TRUE(knownHeaders.contains(name)) << "header line: " << line;
                EXPECT_TRUE(names.insert(name).second) << "twice: " << name;
            }
            bool hostKnown = false;
            for (const std::string& host : hosts)
                hostKnown = hostKnown || head.target.starts_with("http://" + host + "/");
            EXPECT_TRUE(hostKnown) << head.target.substr(0, 100);
        }
    }

    // The pieces of the quote request's ticker list, each checked against
    // its ticker.
    void expectQuoteRequestCarries(const std::vector<std::string>& tickers)
    {
        const std::vector<std::string> quotes = requestsStartingWith(quotePage + "?tickers=");
        ASSERT_EQ(quotes.size(), 1u);
        const std::string list = quotes.front().substr(quotePage.size() + 9);
        std::vector<std::string> pieces;
        std::string piece;
        for (char c : list) {
            if (c == ',') {
                pieces.push_back(piece);
                piece.clear();
            } else {
                piece += c;
            }
        }
        EXPECT_TRUE(piece.empty()) << "every ticker is followed by a comma";
        ASSERT_EQ(pieces.size(), tickers.size());
        for (std::size_t i = 0; i < tickers.size(); ++i)
            EXPECT_TRUE(carriesEncoded(pieces[i], tickers[i])) << pieces[i].substr(0, 100);
    }

    // A quote page for `query` that lists every ticker at a price and volume
    // the filter keeps.
    static std::string keepingQuotePage(const std::vector<std::string>& tickers)
    {
        std::string html = "<html><body>";
        for (int t = 1; t < 15; ++t)
            html += "<table><tr><td>layout</td></tr></table>";
        html += "<table><tr><td colspan=7>Quick Quotes</td></tr><tr><td>Symbol</td></tr>";
        for (const std::string& t : tickers) {
            std::string escaped;
            for (char c : t)
                escaped += c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
            html += "<tr><td>" + escaped + "</td><td>Co</td><td>10.00</td><td>0</td><td>0</td><td>10.00</td>"
                    "<td>100,000</td></tr>";
        }
        return html + "</table></body></html>";
    }
};

const std::string longTicker = std::string(10 * 1024, 'L');

TEST_F(OddTickers, FromAListPageTheyGoOutEncodedToProgramHostsOnly)
{
    const std::vector<std::string> cells = {"A\r\nB", "  C  D  ", "/?#%&amp;+", "\xC3\x9C\x4E\xC3\x8F", "X&#0;Y",
                                            longTicker, "H\r\nX-Injected: 1"};
    web.setPage(nasdaqList, listPage(11, 1, 2, cells));
    tickLists({3});
    window.click(Command::GetLists);
    messages();
    const std::vector<std::string> tickers = taken();
    ASSERT_EQ(tickers.size(), cells.size());
    EXPECT_EQ(tickers[0], "A B");
    EXPECT_EQ(tickers[2], "/?#%&+");
    EXPECT_EQ(tickers[5], longTicker);

    // First run: the quote page knows none of them, so nothing is ranked.
    web.clearRequests();
    tickRanks({0});
    window.click(Command::RankLists);
    EXPECT_EQ(messages(), std::vector<std::string>{noneRanked});
    expectQuoteRequestCarries(tickers);
    expectCleanHeads({hosts::quotes});

    // Second run with a quote page that keeps them all: the rank pages.
    const std::string quoteUrl = requestsStartingWith(quotePage).front();
    web.setPage(quoteUrl, keepingQuotePage(tickers));
    setList(tickers);
    web.clearRequests();
    window.click(Command::RankLists);
    messages();
    const std::vector<std::string> ranked = requestsStartingWith(rankPrefix(0));
    const std::string prefix = rankPrefix(0);
    const std::string suffix = std::string(veltrop::testing::rankSourceInBox(0)->after);
    std::set<std::string> carried;
    for (const std::string& url : ranked) {
        ASSERT_TRUE(url.ends_with(suffix));
        const std::string piece = url.substr(prefix.size(), url.size() - prefix.size() - suffix.size());
        const std::string ticker = simweb::percentDecode(piece);
        EXPECT_TRUE(carriesEncoded(piece, ticker)) << piece.substr(0, 100);
        carried.insert(ticker);
    }
    // The tickers whose text the quote page repeats exactly reach the rank loop.
    for (const std::string& t : {tickers[0], tickers[2], tickers[3], longTicker})
        EXPECT_TRUE(carried.contains(t)) << t.substr(0, 40);
    expectCleanHeads({hosts::quotes, veltrop::testing::rankHost(0)});
}

TEST_F(OddTickers, FromAListFileTheyGoOutEncodedToProgramHostsOnly)
{
    std::string content = "A B\r\n/?#%&+\r\n\xDCn\xEF\r\nX";
    content += '\0';
    content += "Y\r\nC\rD\nE\r\n" + longTicker + "\r\nAFTER\r\n";
    const TempFile file("veltrop-fault-list.vel", content);
    loadFile(file.path.string());
    const std::vector<std::string> tickers = taken();
    // The long line is cut to the reader's limit and the reading goes on.
    ASSERT_EQ(tickers.size(), 9u);
    EXPECT_EQ(tickers[7], longTicker.substr(0, listfile::maxLineBytes));
    EXPECT_EQ(tickers[8], "AFTER");
    EXPECT_EQ(tickers[1], "/?#%&+");
    EXPECT_EQ(tickers[2], "\xC3\x9CN\xC3\x8F") << "upper case, decoded from the Western code page";
    EXPECT_EQ(tickers[3], std::string("X\0Y", 3));

    web.clearRequests();
    tickRanks({0});
    window.click(Command::RankLists);
    messages();
    expectQuoteRequestCarries(tickers);
    // "C" and "E" are listed symbols, so the filter keeps them for the rank loop.
    expectCleanHeads({hosts::quotes, veltrop::testing::rankHost(0)});
}

// ---- A proxy that refuses connections or wants credentials ---------------------

TEST(FaultProxy, RefusingOrAskingForCredentialsOrNoNetworkEveryCommandReportsAndNothingHangs)
{
    simweb::Server web;
    web.setFault("http://", simweb::Fault::ProxyAuth);
    const simweb::ClosedPort closed;
    const TempFile file("veltrop-fault-proxy.vel", "IBM\r\nINTC\r\n");
    const struct {
        std::string proxy;
        bool network;  // false: the engine cannot make its multi handle, as when descriptors run out
    } rows[] = {{closed.proxyUrl(), true}, {web.proxyUrl(), true}, {web.proxyUrl(), false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.proxy + (row.network ? "" : ", no network"));
        ProxyRoute route(row.proxy);
        RecordingDialogs dialogs;
        auto engine = row.network ? std::make_unique<FetchPool>()
                                  : std::make_unique<FetchPool>(FetchPool::Limits{}, [] { return nullptr; });
        WindowController window(dialogs, std::move(engine));
        const auto start = Clock::now();

        window.load();
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{noConnection}) << "start-up says it once";
        dialogs.messages.clear();

        // Again and again: the engine's queues fill past what may wait for
        // a worker, and nothing may wait for them.
        std::vector<std::string> everyListFails(window.listBoxes.size(), couldntConnect);
        everyListFails.push_back(noTickers);
        for (auto& [index, box] : window.listBoxes)
            box.value = 1;
        for (int run = 1; run <= 5; ++run) {
            window.click(Command::GetLists);
            ASSERT_EQ(dialogs.messages, everyListFails) << "run " << run;
            dialogs.messages.clear();
        }

        dialogs.nextFileNames = {file.path.string()};
        window.click(Command::LoadList);
        dialogs.messages.clear();
        ASSERT_EQ(window.tickerList().size(), 2);
        window.rankBoxes[0].value = 1;
        window.click(Command::RankLists);
        EXPECT_EQ(dialogs.messages, (std::vector<std::string>{filterFailed, noneRanked}));
        dialogs.messages.clear();

        window.resultsGrid.showRanked({{"IBM", 1, 1}}, "");
        window.resultsGrid.setCurrent(1, 0);
        window.opinionButton.enabled = true;
        window.opinionBox.text = "kept";
        window.click(Command::Opinion);
        EXPECT_EQ(window.opinionBox.text, "kept");
        EXPECT_TRUE(dialogs.messages.empty());

        window.click(Command::Test);
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Done"});
        EXPECT_EQ(window.testPageBox.text, "");

        EXPECT_LT(msSince(start), 10000);
    }
    // The credentials were asked for, never sent; with no network nothing was.
    ASSERT_FALSE(web.requestHeads().empty());
    for (const std::string& head : web.requestHeads())
        EXPECT_EQ(head.find("Proxy-Authorization"), std::string::npos);
}

} // namespace
