// veltrop-cli as a script runs it, on the simulated web: the same rows,
// messages, requests and reports as the window's Rank Lists, and grep's exit
// statuses.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/names.h"
#include "results/rowstext.h"
#include "tools/simweb/rankmodel.h"
#include "tests/core/testsupport.h"
#include "tests/core/windowrun.h"
#include "tests/marketpicks.h"

using namespace veltrop;
using veltrop::testing::keptTickers;
using veltrop::testing::rankAddress;

namespace {

struct Ran {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class CommandLine : public ::testing::Test {
protected:
    simweb::Server web;
    veltrop::testing::ProxyRoute route{web.proxyUrl()};
    std::filesystem::path folder = veltrop::testing::makeTempFolder("veltrop-cli");

    void TearDown() override { veltrop::testing::removeTempFolder(folder); }

    // `env`: "NAME=value " settings for the run alone.
    Ran run(const std::string& args, const std::string& env = "")
    {
        const std::string out = (folder / "out").string(), err = (folder / "err").string();
        const int status =
            std::system((env + std::string(VELTROP_CLI) + " " + args + " >" + out + " 2>" + err).c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
    }
    std::string listFile(const std::vector<std::string>& tickers)
    {
        std::string path = (folder / "list.vel").string(), bytes;
        for (const std::string& t : tickers)
            bytes += t + "\r\n";
        veltrop::testing::writeBytes(path, bytes);
        return path;
    }
};

TEST(CommandLineNames, AreCaptionsInLowerCaseJoinedByDashes)
{
    const std::pair<const char*, const char*> rows[] = {
        {"BC - Overall Perf.", "bc-overall-perf"}, {"SP - S and P 500", "sp-s-and-p-500"},
        {"IBD - SmartSelect", "ibd-smartselect"},  {"WST - Coverage Init.", "wst-coverage-init"},
        {"  --Odd//Name--  ", "odd-name"},
    };
    for (const auto& [caption, name] : rows)
        EXPECT_EQ(cli::nameOf(caption), name) << caption;

    const std::vector<std::string> captions = {"BC - Overall Perf.", "CN - Momentum"};
    std::string unknown;
    EXPECT_EQ(cli::pick(captions, {"cn-momentum", "BC - OVERALL PERF."}, unknown), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(cli::pick(captions, {"all"}, unknown), (std::vector<std::size_t>{0, 1}));
    EXPECT_FALSE(cli::pick(captions, {"cn-momentum", "nope"}, unknown));
    EXPECT_EQ(unknown, "nope");
}

TEST(RowsAsText, CsvQuotesWhatCouldBreakAFieldAndTabbedLinesPasteAsCells)
{
    const RankedRows rows = {{"IBM", 12, 17}, {"A,B", 3, 1}, {"SAY \"HI\"", 2, 1}, {" X", 1, 1}};
    EXPECT_EQ(rowsAsCsv(rows),
              "ticker,score,band\r\nIBM,12,17\r\n\"A,B\",3,1\r\n\"SAY \"\"HI\"\"\",2,1\r\n\" X\",1,1\r\n");
    EXPECT_EQ(rowsAsTabbed(rows), "Ticker\tScore\tBand\nIBM\t12\t17\nA,B\t3\t1\nSAY \"HI\"\t2\t1\n X\t1\t1\n");
    EXPECT_EQ(rowsAsTabbed({}), "Ticker\tScore\tBand\n");
}

TEST(CommandLineJson, ScoresAreWholeNumbersAndTheLargestSaturates)
{
    // A page's "1e999" scores the largest whole number, which the table and
    // CSV write in exponent form.
    const nlohmann::json json =
        nlohmann::json::parse(cli::json({{"BIG", INT64_MAX, 17}, {"IBM", 12, 1}}, {"a message"}, {}));
    EXPECT_EQ(rowsAsCsv({{"BIG", INT64_MAX, 17}}), "ticker,score,band\r\nBIG,9.22337203685478e+18,17\r\n");
    EXPECT_EQ(json["tickers"][0]["score"].get<long long>(), INT64_MAX);
    EXPECT_EQ(json["tickers"][1]["score"].get<long long>(), 12);
    EXPECT_EQ(json["messages"], nlohmann::json::array({"a message"}));
    EXPECT_TRUE(json["sources"].empty());
}

TEST_F(CommandLine, RanksAsTheWindowDoesWithTheSameRequestsAndReports)
{
    const std::vector<std::string> tickers = keptTickers(12);
    // Barchart's page for the fourth ticker fails; its source stops there.
    web.setFault(rankAddress(5, tickers[3]), simweb::Fault::ServerError);
    web.clearRequests();
    const veltrop::testing::RankRunResult window = veltrop::testing::runRankLists(tickers, {0, 5, 6});
    // Barchart's pages past its failed one are asked for or not depending on
    // how far the engine had read ahead when the source stopped.
    const auto settled = [&](std::vector<std::string> requests) {
        std::erase_if(requests, [&](const std::string& url) {
            return url.starts_with(veltrop::testing::rankPrefix(5)) &&
                   std::none_of(tickers.begin(), tickers.begin() + 4,
                                [&](const std::string& t) { return url == rankAddress(5, t); });
        });
        std::sort(requests.begin(), requests.end());
        return requests;
    };
    std::vector<std::string> windowRequests = web.requests();
    windowRequests.erase(windowRequests.begin());  // the window's start-up probe
    windowRequests = settled(windowRequests);

    web.clearRequests();
    const Ran ran = run("rank -i " + listFile(tickers) + " -r cn-momentum -r bc-overall-perf -r fb-fund-count --format json");
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(settled(web.requests()), windowRequests);

    const nlohmann::json json = nlohmann::json::parse(ran.out);
    std::vector<std::string> rows;
    for (const auto& row : json["tickers"])
        rows.push_back(row["ticker"].get<std::string>() + "|" + std::to_string(row["score"].get<long long>()) + "|" +
                       std::to_string(row["band"].get<int>()));
    std::vector<std::string> windowRows;
    for (std::size_t r = 1; r + 1 < window.grid.size(); ++r) {
        std::istringstream cells(window.grid[r]);
        std::string ticker, empty, score, picture;
        std::getline(cells, ticker, '|');
        std::getline(cells, empty, '|');
        std::getline(cells, score, '|');
        std::getline(cells, picture, '|');
        windowRows.push_back(ticker + "|" + score + "|" + picture.substr(picture.rfind("/vp") + 3, picture.size() - picture.rfind("/vp") - 7));
    }
    EXPECT_EQ(rows, windowRows);
    EXPECT_EQ(json["messages"].get<std::vector<std::string>>(), window.messages);

    // The report: the window's tooltips and the command line's sources.
    ASSERT_EQ(json["sources"].size(), 3u);
    const nlohmann::json& barchart = json["sources"][1];
    EXPECT_EQ(barchart["name"], "bc-overall-perf");
    EXPECT_EQ(barchart["rated"].get<int>() + barchart["no_points"].get<int>(), 3);
    EXPECT_EQ(barchart["not_reached"], 9);
    EXPECT_EQ(barchart["stopped_at"], tickers[3]);
    EXPECT_EQ(barchart["reason"], "the page answered 500");
    EXPECT_TRUE(json["sources"][0]["stopped_at"].is_null());
    EXPECT_TRUE(json["sources"][0]["reason"].is_null());
    EXPECT_GT(json["sources"][2]["pages"].get<int>(), 12) << "the fund count's further pages count";
    EXPECT_EQ(window.reports[1], "Rated " + std::to_string(barchart["rated"].get<int>()) + " of 12; stopped at " +
                                     tickers[3] + ": the page answered 500.");
    EXPECT_EQ(window.reports[0].substr(0, 9), "Rated all");
}

TEST_F(CommandLine, EverySourcesReportIsWhatTheFaultsOfTheWebCallFor)
{
    const std::vector<std::string> tickers = keptTickers(12);
    // Barchart's fifth page answers 500; one Telescan page is busy once; the
    // second holdings page of the first ticker with more than one fails.
    web.setFault(rankAddress(5, tickers[4]), simweb::Fault::ServerError);
    web.setFault(rankAddress(2, tickers[2]), simweb::Fault::UnavailableOnce);
    int fundPages = 0;
    std::string failingFund;
    for (const std::string& t : tickers) {
        const simweb::ranks::FundFacts funds = simweb::ranks::forbesFunds(t);
        if (failingFund.empty() && funds.pages > 1) {
            failingFund = t;
            web.setFault(rankAddress(6, t) + "&page=2", simweb::Fault::ServerError);
            fundPages += 1;
        } else {
            fundPages += funds.pages;
        }
    }
    ASSERT_FALSE(failingFund.empty());

    const std::vector<std::string> expected = {
        "Rated all 12.",  // the busy page is asked again
        "Rated 4 of 12; stopped at " + tickers[4] + ": the page answered 500.",
        "Rated all 12.",  // the failed holdings page ends that ticker's walk only
    };
    EXPECT_EQ(veltrop::testing::runRankLists(tickers, {2, 5, 6}).reports, expected);

    web.clearFaults();
    web.setFault(rankAddress(5, tickers[4]), simweb::Fault::ServerError);
    web.setFault(rankAddress(2, tickers[2]), simweb::Fault::UnavailableOnce);
    web.setFault(rankAddress(6, failingFund) + "&page=2", simweb::Fault::ServerError);
    const Ran ran = run("rank -i " + listFile(tickers) + " -r all --format json");
    ASSERT_EQ(ran.status, 0) << ran.err;
    std::map<std::string, nlohmann::json> sources;
    const nlohmann::json json = nlohmann::json::parse(ran.out);
    for (const nlohmann::json& source : json["sources"])
        sources[source["name"].get<std::string>()] = source;
    EXPECT_EQ(sources.size(), 17u);
    EXPECT_EQ(sources["ts-st-growth"]["rated"], 12);
    EXPECT_TRUE(sources["ts-st-growth"]["reason"].is_null());
    EXPECT_EQ(sources["bc-overall-perf"]["rated"], 4);
    EXPECT_EQ(sources["bc-overall-perf"]["not_reached"], 8);
    EXPECT_EQ(sources["bc-overall-perf"]["pages"], 4);
    EXPECT_EQ(sources["bc-overall-perf"]["stopped_at"], tickers[4]);
    EXPECT_EQ(sources["bc-overall-perf"]["reason"], "the page answered 500");
    EXPECT_EQ(sources["fb-fund-count"]["rated"], 12);
    EXPECT_EQ(sources["fb-fund-count"]["pages"], fundPages);
    EXPECT_TRUE(sources["fb-fund-count"]["stopped_at"].is_null());
    for (const auto& [name, source] : sources) {
        EXPECT_EQ(source["rated"].get<int>() + source["no_points"].get<int>() + source["skipped"].get<int>() +
                      source["not_reached"].get<int>(),
                  12)
            << name;
        // The sites' ordinary pages: no source's layout looks changed.
        EXPECT_LT(source["missing"].get<int>(), source["pages"].get<int>()) << name;
        if (!source["reason"].is_null()) {
            EXPECT_EQ(source["reason"].get<std::string>().find("layout"), std::string::npos) << name;
        }
    }
}

TEST_F(CommandLine, ASourceWhosePagesLackItsCellSaysTheLayoutMayHaveChanged)
{
    const std::vector<std::string> tickers = keptTickers(4);
    const std::string catalogue = (folder / "moved.toml").string();
    // Barchart's value moved out of the column the entry reads; Momentum's
    // pages keep theirs.
    veltrop::testing::writeBytes(catalogue, "format = 1\n[[rank]]\nname = \"bc-overall-perf\"\n"
                                            "caption = \"BC - Overall Perf.\"\n"
                                            "url = \"http://www.barchart.com/performance.htx?sym={ticker}\"\n"
                                            "cell = [11, 2, 40]\n");
    const std::string args = "--sources " + catalogue + " rank -i " + listFile(tickers) + " -r bc-overall-perf -r cn-momentum";
    const Ran ran = run(args + " --format json");
    const nlohmann::json json = nlohmann::json::parse(ran.out);
    ASSERT_EQ(json["sources"].size(), 2u);
    // In run order: Momentum first.
    EXPECT_EQ(json["sources"][0]["missing"], 0);
    EXPECT_TRUE(json["sources"][0]["reason"].is_null());
    EXPECT_EQ(json["sources"][1]["missing"], 4);
    EXPECT_EQ(json["sources"][1]["reason"],
              "the page layout may have changed: table 11, row 2, column 40 is on none of its 4 pages");
    EXPECT_EQ(run(args + " --strict").status, 3) << "the warning counts as a source that stopped early";

    // Checked against its page: the moved entry finds nothing, the built-in one its value.
    const Ran moved = run("--sources " + catalogue + " sources --check bc-overall-perf --ticker " + tickers[0]);
    EXPECT_EQ(moved.status, 3);
    EXPECT_EQ(moved.out, "bc-overall-perf\t" + tickers[0] + "\topened; table 11, row 2, column 40 is not on the page\t0 points\n");
    const Ran builtin = run("sources --check bc-overall-perf --ticker " + tickers[0]);
    EXPECT_EQ(builtin.status, 0);
    EXPECT_TRUE(builtin.out.starts_with("bc-overall-perf\t" + tickers[0] + "\topened; found \"")) << builtin.out;

    // A list whose first page has no table where its tickers should stand.
    veltrop::testing::writeBytes(catalogue, "format = 1\n[[list]]\nname = \"nasdaq-100\"\ncaption = \"Nasdaq 100\"\n"
                                            "url = \"http://www.nasdaq.com/dynamic/nasdaq100_activity.stm\"\n"
                                            "tickers = { table = 40, row = 1, column = 2 }\n");
    const Ran list = run("--sources " + catalogue + " lists -l nasdaq-100 --report");
    EXPECT_EQ(list.status, 1);
    EXPECT_NE(list.err.find("the page layout may have changed: table 40, row 1, column 2 is not on its first page"),
              std::string::npos)
        << list.err;
}

TEST_F(CommandLine, ExitsAsGrepDoes)
{
    const std::string good = listFile(keptTickers(3));
    EXPECT_EQ(run("rank -i " + good + " -r cn-momentum").status, 0);
    EXPECT_EQ(run("rank -i " + good + " -r no-such-source").status, 2);
    EXPECT_EQ(run("rank -i " + good + " -r cn-momentum --price-min 0").status, 2);
    EXPECT_EQ(run("rank -i " + good + " -r cn-momentum --format xml").status, 2);
    EXPECT_EQ(run("rank -i " + (folder / "missing.vel").string() + " -r cn-momentum").status, 2);
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("--version").status, 0);

    // Nothing passes the filter: nothing ranked, said on standard error only.
    const Ran none = run("rank -i " + listFile({"NOSUCH"}) + " -r cn-momentum --format csv");
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "ticker,score,band\r\n");
    EXPECT_EQ(none.err, "No tickers ranked.  Clear and try again.\n");

    // A source that stops early: 0 as it is, 3 when strict.
    const std::vector<std::string> tickers = keptTickers(3);
    web.setFault(rankAddress(0, tickers[1]), simweb::Fault::ServerError);
    EXPECT_EQ(run("rank -i " + listFile(tickers) + " -r cn-momentum").status, 0);
    EXPECT_EQ(run("rank -i " + listFile(tickers) + " -r cn-momentum --strict").status, 3);
}

TEST_F(CommandLine, DumpsTheBuiltInCatalogueAndChecksAFile)
{
    // The dump reads back as a valid catalogue of every built-in source.
    const Ran dump = run("sources --dump");
    EXPECT_EQ(dump.status, 0);
    const std::string dumped = (folder / "dumped.toml").string();
    veltrop::testing::writeBytes(dumped, dump.out);
    const Ran valid = run("sources --check-file " + dumped);
    EXPECT_EQ(valid.status, 0) << valid.err;
    EXPECT_EQ(valid.out, dumped + ": a valid catalogue of 13 list and 17 rank sources\n");

    const std::string bad = (folder / "bad.toml").string();
    veltrop::testing::writeBytes(bad, "format = 1\n[[rank]]\nname = \"x\"\ncaption = \"X\"\n"
                                      "url = \"http://x.example/\"\nregex = \"(\"\n");
    const Ran invalid = run("sources --check-file " + bad);
    EXPECT_EQ(invalid.status, 2);
    EXPECT_EQ(invalid.out, "");
    EXPECT_EQ(invalid.err, bad + ":5:1: \"url\" of [[rank]] has no {ticker}: \"http://x.example/\"\n" + bad +
                               ":6:9: the pattern \"(\" does not compile: missing ): (\n");
    EXPECT_EQ(web.requests(), std::vector<std::string>{}) << "a check reads no page";
}

// "ticker,score" lines of a CSV result, the bands left out.
std::vector<std::string> scoresOf(const std::string& csv)
{
    std::vector<std::string> rows;
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line))
        rows.push_back(line.substr(0, line.rfind(',')));
    return rows;
}

TEST_F(CommandLine, AUserCatalogueRepointsASourceAndAddsAJsonOne)
{
    // Barchart's rating moved to another host, into another cell; a new
    // source reads a JSON page. The values are the test's own.
    const std::vector<std::string> tickers = keptTickers(4);
    std::vector<long long> moved, fromJson;
    for (std::size_t i = 0; i < tickers.size(); ++i) {
        moved.push_back(10 * (long long)(i + 1));
        fromJson.push_back(100 - 30 * (long long)i);
        web.setPage("http://www.validea.com/moved/" + tickers[i] + ".html",
                    veltrop::testing::cellPage(3, 2, 5, std::to_string(moved[i]) + " pts"));
        web.setPage("http://www.validea.com/api/" + tickers[i],
                    "{\"data\": {\"score\": " + std::to_string(fromJson[i]) + "}}", "application/json");
    }
    std::filesystem::create_directories(folder / "config/veltrop");
    veltrop::testing::writeBytes((folder / "config/veltrop/sources.toml").string(),
                                 "format = 1\n"
                                 "[[rank]]\nname = \"bc-overall-perf\"\ncaption = \"BC - Moved\"\n"
                                 "url = \"http://www.validea.com/moved/{ticker}.html\"\ncell = [3, 2, 5]\n"
                                 "[[rank]]\nname = \"json-score\"\ncaption = \"JSON score\"\n"
                                 "url = \"http://www.validea.com/api/{ticker}\"\njson = \"/data/score\"\n");
    const std::string xdg = "XDG_CONFIG_HOME=" + (folder / "config").string() + " ";
    const std::string list = listFile(tickers);
    // Best first: the moved values ascend with the ticker, the JSON ones descend.
    const auto expected = [&](const std::vector<int>& order, const std::vector<long long>& scores) {
        std::vector<std::string> rows;
        for (int i : order)
            rows.push_back(tickers[std::size_t(i)] + "," + std::to_string(scores[std::size_t(i)]));
        return rows;
    };
    const Ran repointed = run("rank -i " + list + " -r bc-overall-perf --format csv", xdg);
    EXPECT_EQ(scoresOf(repointed.out), expected({3, 2, 1, 0}, moved)) << repointed.err;
    const Ran added = run("rank -i " + list + " -r json-score --format csv", xdg);
    EXPECT_EQ(scoresOf(added.out), expected({0, 1, 2, 3}, fromJson)) << added.err;

    // --sources takes the place of the user's file; one with an error ends
    // the run before any page is read.
    const std::string bad = (folder / "bad.toml").string();
    veltrop::testing::writeBytes(bad, "format = 1\nformat_version = 2\n");
    web.clearRequests();
    const Ran refused = run("--sources " + bad + " rank -i " + list + " -r all", xdg);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, bad + ":2:1: unknown key \"format_version\" in the catalogue\n");
    EXPECT_EQ(web.requests(), std::vector<std::string>{});
    const Ran listed = run("sources", xdg);
    EXPECT_NE(listed.out.find("rank\tbc-overall-perf\tBC - Moved\n"), std::string::npos);
    EXPECT_TRUE(listed.out.ends_with("rank\tjson-score\tJSON score\n")) << listed.out;
}

TEST_F(CommandLine, ListsSourcesAndGathersTickers)
{
    const Ran sources = run("sources");
    EXPECT_EQ(sources.status, 0);
    EXPECT_EQ(sources.out.substr(0, sources.out.find('\n')), "list\tcs-price-breakout\tCS - Price Breakout");
    EXPECT_NE(sources.out.find("rank\tzk-buy-sell-rank\tZK - Buy/Sell Rank\n"), std::string::npos);

    const Ran lists = run("lists -l nasdaq-100");
    EXPECT_EQ(lists.status, 0);
    EXPECT_EQ(std::count(lists.out.begin(), lists.out.end(), '\n'), 100);

    // The opinion the window shows for the ticker; a page that does not
    // open is an error.
    const Ran opinion = run("opinion IBM");
    EXPECT_EQ(opinion.status, 0);
    EXPECT_GT(opinion.out.size(), 100u);
    web.setFault("/wsc2/Interpretive_Text", simweb::Fault::NotFound);
    EXPECT_EQ(run("opinion IBM").status, 2);
}

} // namespace

namespace {

// Runs veltrop-cli with `args`, sends it SIGINT once its standard error
// shows `when`, and gives its exit status and standard output.
// Runs the command line and presses Ctrl-C once standard error shows
// `when`; a second press follows `again` later, when given.
Ran interrupted(const std::string& args, const std::string& when,
                std::optional<std::chrono::milliseconds> again = std::nullopt)
{
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::close(out[0]);
        ::close(err[0]);
        ::execl("/bin/sh", "sh", "-c", (std::string("exec ") + VELTROP_CLI + " " + args).c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    Ran ran;
    char buffer[4096];
    bool sent = false;
    for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) {
        ran.err.append(buffer, std::size_t(n));
        if (!sent && ran.err.find(when) != std::string::npos) {
            ::kill(child, SIGINT);
            if (again) {
                std::this_thread::sleep_for(*again);
                ::kill(child, SIGINT);
            }
            sent = true;
        }
    }
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        ran.out.append(buffer, std::size_t(n));
    int status = 0;
    ::waitpid(child, &status, 0);
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ::close(out[0]);
    ::close(err[0]);
    return ran;
}

} // namespace

TEST_F(CommandLine, CtrlCInTheRankingLoopsIsCancelAndBeforeThemEndsAtOnce)
{
    web.setLatency(50);
    const std::string list = listFile(keptTickers(120));
    const auto rows = [](const Ran& ran) { return std::count(ran.out.begin(), ran.out.end(), '\n') - 1; };
    const Ran whole = run("rank -i " + list + " -r cn-momentum --format csv");
    // While the tickers are rated: the ticker in progress ends, and the
    // results of what was read are printed.
    const Ran cancelled = interrupted("rank -i " + list + " -r cn-momentum --format csv --progress", " 117 to go... ");
    EXPECT_EQ(cancelled.status, 130);
    EXPECT_GE(rows(cancelled), 1) << cancelled.out;
    EXPECT_LT(rows(cancelled), rows(whole) / 2) << cancelled.out;

    // While the quotes load, Cancel would do nothing: it ends at once.
    const Ran early = interrupted("rank -i " + list + " -r cn-momentum --format csv --progress", "Filtering...");
    EXPECT_EQ(early.status, 130);
    EXPECT_EQ(early.out, "");

    // Cancel waits for the ticker in progress, here a page that never
    // answers; a second press ends every page at once.
    for (const std::string& ticker : keptTickers(120))
        web.setFault(rankAddress(0, ticker), simweb::Fault::Stall);
    const auto start = std::chrono::steady_clock::now();
    const Ran twice = interrupted("rank -i " + list + " -r cn-momentum --format csv --progress", " to go... ",
                                  std::chrono::milliseconds(300));
    EXPECT_EQ(twice.status, 130);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}
