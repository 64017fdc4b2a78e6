// A user's catalogue over the built-in one: what each entry replaces or adds,
// and what the window makes of it at start-up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/sourceboxes.h"
#include "domain/catalogue.h"
#include "rank/ranksources.h"
#include "testsupport.h"
#include "tests/marketpicks.h"
#include "tools/simweb/server.h"

using namespace veltrop;

namespace {

Catalogue userCatalogue(const std::string& entries)
{
    const CatalogueResult read = readCatalogue("format = 1\n" + entries, "mine.toml");
    EXPECT_EQ(read.errors, std::vector<std::string>{});
    return read.catalogue.value_or(Catalogue{});
}

std::string rankEntry(const std::string& name, const std::string& locator)
{
    return "[[rank]]\nname = \"" + name + "\"\ncaption = \"Mine " + name + "\"\nurl = \"http://m.example/{ticker}\"\n" +
           locator + "\n";
}

TEST(UserCatalogue, AnEntryTakesABuiltInsPlaceOrFollowsThemAll)
{
    const Catalogue merged = withUserCatalogue(
        builtinCatalogue(),
        userCatalogue(rankEntry("mw-days-since-news", "cell = [1, 1, 1]") +
                      rankEntry("bc-buy-sell-average", "reader = \"guru-average\"") +
                      rankEntry("added", "regex = \"Rank: (\\\\d+)\"") +
                      "[quotes]\nurl = \"https://q.example/?s={tickers}\"\ntable = 1\nfirst_row = 2\nsymbol = 1\n"
                      "price = 2\nvolume = 3\n"));
    const std::vector<RankSource> sources = rankSourcesOf(merged);
    ASSERT_EQ(sources.size(), 18u);
    struct Row {
        std::size_t at;
        std::string name;
        int box;
        Extraction extraction;
        ProgressOrder progress;
        bool clears;
    };
    const Row rows[] = {
        // Replaced: the box, the place and how progress shows stay the
        // built-in's; the rest is the entry's.
        {1, "mw-days-since-news", 1, Extraction::SingleCell, ProgressOrder::ShowThenCount, true},
        {14, "bc-buy-sell-average", 7, Extraction::GuruAverage, ProgressOrder::ShowThenCount, true},
        // Added: after the built-ins, no box, shown as the single-cell sources.
        {17, "added", -1, Extraction::Located, ProgressOrder::ShowThenCount, true},
        // Untouched.
        {13, "vl-guru-analysis", 8, Extraction::GuruAverage, ProgressOrder::CountThenShow, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const RankSource& s = sources[row.at];
        EXPECT_EQ(s.name, row.name);
        EXPECT_EQ(rankBoxOf(s.name), row.box);
        EXPECT_EQ(s.extraction, row.extraction);
        EXPECT_EQ(s.progress, row.progress);
        EXPECT_EQ(s.clearsProgress, row.clears);
    }
    EXPECT_EQ(sources[1].caption, "Mine mw-days-since-news");
    EXPECT_EQ(sources[1].before, "http://m.example/");
    EXPECT_EQ(merged.quotes->url, "https://q.example/?s={tickers}");
    EXPECT_EQ(merged.opinion->url, builtinCatalogue().opinion->url) << "not given: the built-in page";
    EXPECT_EQ(merged.userAgent, "PellamysVeltrop/1.4");
}

class WindowWithUserCatalogue : public ::testing::Test {
protected:
    std::filesystem::path folder = veltrop::testing::makeTempFolder("veltrop-config");
    std::string oldConfig = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    std::string file = (folder / "veltrop/sources.toml").string();

    void SetUp() override
    {
        std::filesystem::create_directories(folder / "veltrop");
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    void TearDown() override
    {
        if (oldConfig.empty())
            unsetenv("XDG_CONFIG_HOME");
        else
            setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
        veltrop::testing::removeTempFolder(folder);
    }
};

TEST_F(WindowWithUserCatalogue, ItsCaptionsShowAndABrokenOneIsNamedBeforeTheProbe)
{
    const simweb::ClosedPort closed;
    veltrop::testing::ProxyRoute route(closed.proxyUrl());
    const struct {
        const char* what;
        std::string text;
        std::vector<std::string> messages;
        std::string rankBox5;
    } rows[] = {
        {"a repointed source", rankEntry("bc-overall-perf", "cell = [1, 2, 3]"),
         {"No Web connection found.  Please connect to use the program"}, "Mine bc-overall-perf"},
        {"a broken file", rankEntry("bc-overall-perf", "cell = [1, 2]"),
         {"Your sources file " + file + " has an error on line 6: \"cell\" must be [table, row, column], three "
          "numbers from 1.  The built-in sources are used instead.",
          "No Web connection found.  Please connect to use the program"},
         "BC - Overall Perf."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        veltrop::testing::writeBytes(file, "format = 1\n" + row.text);
        veltrop::testing::RecordingDialogs dialogs;
        WindowController window(dialogs);
        window.load();
        EXPECT_EQ(dialogs.messages, row.messages);
        EXPECT_EQ(window.rankBoxes[5].caption, row.rankBox5);
        EXPECT_EQ(window.rankBoxes[0].caption, "CN - Momentum");
    }
}

TEST_F(WindowWithUserCatalogue, RanksByARepointedSourceAndLeavesAnAddedOneToTheCommandLine)
{
    // Barchart's rating moved to another host, into another cell; an added
    // source has no box, so the window neither shows nor runs it. The
    // values are the test's own.
    simweb::Server web;
    veltrop::testing::ProxyRoute route(web.proxyUrl());
    const std::vector<std::string> tickers = veltrop::testing::keptTickers(3);
    for (std::size_t i = 0; i < tickers.size(); ++i) {
        web.setPage("http://www.validea.com/moved/" + tickers[i] + ".html",
                    veltrop::testing::cellPage(3, 2, 5, std::to_string(10 * (i + 1)) + " pts"));
        web.setPage("http://www.validea.com/api/" + tickers[i], "{\"score\": 99}", "application/json");
    }
    const std::string entries =
        "[[rank]]\nname = \"bc-overall-perf\"\ncaption = \"BC - Moved\"\n"
        "url = \"http://www.validea.com/moved/{ticker}.html\"\ncell = [3, 2, 5]\n"
        "[[rank]]\nname = \"json-score\"\ncaption = \"JSON score\"\n"
        "url = \"http://www.validea.com/api/{ticker}\"\njson = \"/score\"\n";
    veltrop::testing::writeBytes(file, "format = 1\n" + entries);
    {
        veltrop::testing::RecordingDialogs dialogs;
        WindowController window(dialogs);
        window.load();
        window.setTickerList(tickers);
        window.rankBoxes[5].value = 1;
        veltrop::testing::press(window, Command::RankLists);
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{});
        std::vector<std::string> ranked;
        for (const RankedRow& row : window.resultsGrid.ranked())
            ranked.push_back(row.ticker + " " + std::to_string(row.score));
        EXPECT_EQ(ranked, (std::vector<std::string>{tickers[2] + " 30", tickers[1] + " 20", tickers[0] + " 10"}));
        EXPECT_EQ(window.rankBoxes[5].caption, "BC - Moved");
        EXPECT_EQ(window.rankBoxes[5].tooltip, "Barchart Overall Performance\nRated all 3.");
        for (const std::string& request : web.requests())
            EXPECT_EQ(request.find("/api/"), std::string::npos) << request;
    }

    // A repointed quote page is the one the Test button reads.
    web.setPage("http://www.validea.com/q?s=intc+rare+mho", "<html>quotes moved</html>");
    veltrop::testing::writeBytes(file, "format = 1\n[quotes]\nurl = \"http://www.validea.com/q?s={tickers}\"\n"
                                       "table = 1\nfirst_row = 3\nsymbol = 1\nprice = 2\nvolume = 3\n");
    veltrop::testing::RecordingDialogs dialogs;
    WindowController window(dialogs);
    window.load();
    veltrop::testing::press(window, Command::Test);
    EXPECT_EQ(window.testPageBox.text, "<html>quotes moved</html>");
}

} // namespace
