// Rank Lists end to end: 500 tickers, every rank source ticked, through the
// real window state against the simulated web. The grid, the table and the
// captions the run leaves are worked out here from the market and rank models
// alone: who the quote page lets through, what each site gives each ticker,
// and how the sums become averages, an order and rank bands.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/windowcontroller.h"
#include "rankexpect.h"
#include "testsupport.h"
#include "tools/simweb/market.h"
#include "tools/simweb/quotemodel.h"
#include "tools/simweb/rankmodel.h"

using namespace veltrop;
using simweb::Market;
namespace expect = veltrop::testing;
namespace ranks = simweb::ranks;

namespace {

// The rank boxes in the order a run takes their sources.
constexpr int kRunOrder[17] = {0, 1, 2, 3, 4, 9, 10, 11, 12, 13, 14, 5, 6, 8, 7, 15, 16};
constexpr int kNewsIndex = 1;

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Whether the quote page shows the ticker above the default limits (price
// above 5, volume above 25000). The page lists the ticker trimmed and in
// upper case.
bool passesDefaults(const std::string& ticker)
{
    return veltrop::testing::passesDefaults(ranks::lookupSymbol(ticker));
}

// The pages a run asks for when a page that several sources read is fetched
// once: the nine Telescan sources share one page per ticker, SmartSelect's
// address carries the ticker in upper case, and a ticker held twice shares
// its pages. Each ticker's fund-holdings walk follows its own next pages.
std::size_t sharedPages(const std::vector<std::string>& survivors)
{
    std::set<std::string> first;
    std::size_t further = 0;
    for (const std::string& t : survivors) {
        const std::string sent = expect::trimmed(t);
        for (const char* site : {"cnet", "news", "telescan", "barchart performance", "forbes", "validea",
                                 "barchart opinion", "zacks"})
            first.insert(std::string(site) + "|" + sent);
        if (expect::expectedPages(15, t) > 0)
            first.insert("smartselect|" + ranks::lookupSymbol(t));
        further += static_cast<std::size_t>(expect::expectedPages(6, t) - 1);
    }
    return first.size() + further;
}

// A symbol the market does not list but the quote page still quotes well
// enough to pass: the rank sites answer it with their no-data pages.
std::string unlistedPassing()
{
    for (char a = 'Q'; a <= 'Z'; ++a)
        for (char b = 'A'; b <= 'Z'; ++b) {
            const std::string t = std::string("ZX") + a + b;
            if (!ranks::isListed(t) && passesDefaults(t))
                return t;
        }
    ADD_FAILURE() << "no unlisted symbol passes the filter";
    return "ZXQQ";
}

// 492 tickers spread over the universe, with eight awkward entries placed
// among them: in lower case, with blanks around, a ticker the market does not
// list, one that is no symbol, an empty one and a repeat.
std::vector<std::string> tickerTable()
{
    const auto& universe = Market::instance().universe();
    constexpr std::size_t spread = 492;
    std::vector<std::string> tickers;
    for (std::size_t i = 0; i < spread; ++i)
        tickers.push_back(universe[i * universe.size() / spread]);

    // Passing tickers the spread left out, for the entries written oddly.
    std::vector<std::string> spare;
    for (std::size_t i = 0; i + 1 < universe.size() && spare.size() < 3; i += 7) {
        const std::string& t = universe[i];
        if (passesDefaults(t) && std::find(tickers.begin(), tickers.end(), t) == tickers.end())
            spare.push_back(t);
    }
    EXPECT_EQ(spare.size(), 3u);
    spare.resize(3, "ZZZ");
    std::string repeated;
    for (const std::string& t : tickers)
        if (passesDefaults(t)) {
            repeated = t;
            break;
        }

    const std::pair<std::size_t, std::string> odd[] = {
        {3, lower(spare[0])},
        {79, "  " + spare[1] + " "},
        {80, spare[2] + "   "},
        {161, unlistedPassing()},
        {240, "A*B"},
        {333, ""},
        {420, repeated},
        {499, lower(tickers[spread - 1]) + " "},
    };
    for (const auto& [at, text] : odd)
        tickers.insert(tickers.begin() + static_cast<std::ptrdiff_t>(at), text);
    return tickers;
}

struct Listed {
    std::string ticker;
    long long value = 0;
};

// What the run must leave.
struct Expected {
    std::vector<std::string> survivors;   // after the filter, in table order
    std::vector<long long> averages;      // per survivor
    long long highest = -10000, lowest = 10000;
    std::vector<Listed> listed;           // best first
    std::vector<int> bands;               // per listed ticker
};

// The 17 bands over [lowest, highest] with single-precision edges; a value
// above the top edge but not above highest still belongs to the top band.
int bandOf(long long value, long long lowest, long long highest)
{
    const float w = static_cast<float>(static_cast<double>(highest - lowest) / 17);
    const double low = static_cast<double>(lowest);
    const double v = static_cast<double>(value);
    for (int k = 1; k <= 17; ++k) {
        const double edge = k == 1   ? double(w) + low
                            : k == 2 ? (double(w) + double(w)) + low
                                     : double(w) * k + low;
        if (low <= v && v <= double(static_cast<float>(edge)))
            return k;
    }
    return low <= v && value <= highest ? 17 : 1;
}

// `news` holds the days-since-news points of each survivor; every other
// source's points follow from the models without a clock.
Expected expected(const std::vector<std::string>& survivors,
                  const std::vector<std::vector<expect::Given>>& others,
                  const std::vector<expect::Given>& news)
{
    Expected out;
    out.survivors = survivors;
    for (std::size_t i = 0; i < survivors.size(); ++i) {
        bool scored = false;
        long long sum = 0;
        auto take = [&](const expect::Given& g) {
            if (g.kind == expect::Given::Nothing)
                return;
            scored = true;
            sum += g.points;
        };
        for (const expect::Given& g : others[i])
            take(g);
        take(news[i]);
        // Seventeen sources ran; a ticker none rated averages 0.
        const long long average = scored ? expect::floorOf(static_cast<double>(sum) / 17) : 0;
        out.averages.push_back(average);
        out.highest = std::max(out.highest, average);
        out.lowest = std::min(out.lowest, average);
        if (average > 0)
            out.listed.push_back({survivors[i], average});
    }
    std::stable_sort(out.listed.begin(), out.listed.end(),
                     [](const Listed& a, const Listed& b) { return a.value > b.value; });
    for (const Listed& l : out.listed)
        out.bands.push_back(bandOf(l.value, out.lowest, out.highest));
    return out;
}

// What the run left, in the same terms.
struct Observed {
    std::vector<Listed> listed;  // from the grid
    std::vector<int> bands;      // from the grid's pictures; 0 for a picture of another name

    bool matches(const Expected& e) const
    {
        if (listed.size() != e.listed.size() || bands != e.bands)
            return false;
        for (std::size_t i = 0; i < listed.size(); ++i)
            if (listed[i].ticker != e.listed[i].ticker || listed[i].value != e.listed[i].value)
                return false;
        return true;
    }
};

struct Mode {
    const char* name;
    int lookahead;
};
void PrintTo(const Mode& mode, std::ostream* out) { *out << mode.name; }

class FullRun : public veltrop::testing::ControllerTestOf<::testing::TestWithParam<Mode>> {
protected:
    void SetUp() override
    {
        window.setTurnHook([this] {
            if (window.progressLabel.caption.find(" to go... ") != std::string::npos)
                lastCountDown = window.progressLabel.caption;
        });
        ControllerTestOf::SetUp();
    }

    std::string lastCountDown;  // the progress line's last count down

    std::string picturePath(int band) const { return window.programFolder() + "/vp" + std::to_string(band) + ".bmp"; }

    Observed observe() const
    {
        Observed o;
        const ResultsGrid& grid = window.resultsGrid;
        for (int r = 1; r <= grid.rows() - 2; ++r) {
            o.listed.push_back({grid.text(r, 0), std::atoll(grid.text(r, 2).c_str())});
            int band = 0;
            for (int k = 1; k <= 17; ++k)
                if (grid.picture(r, 1) == picturePath(k))
                    band = k;
            o.bands.push_back(band);
        }
        return o;
    }
};

TEST_P(FullRun, FiveHundredTickersAndEverySourceGiveTheGridTheModelsDescribe)
{
    window.setLookahead(GetParam().lookahead);
    const std::vector<std::string> tickers = tickerTable();
    ASSERT_EQ(tickers.size(), 500u);
    window.setTickerList(tickers);
    for (int index = 0; index < 17; ++index)
        window.rankBoxes[index].value = 1;
    window.rankListsButton.enabled = true;

    // The filter's survivors and every source's points but the news, which
    // reads the clock.
    std::vector<std::string> survivors;
    for (const std::string& t : tickers)
        if (passesDefaults(t))
            survivors.push_back(t);
    std::vector<std::vector<expect::Given>> others(survivors.size());
    std::size_t skipped = 0;  // SmartSelect opens no page for these and counts no step
    for (std::size_t i = 0; i < survivors.size(); ++i)
        for (int index : kRunOrder) {
            if (index == 15 && expect::expectedPages(index, survivors[i]) == 0)
                ++skipped;
            if (index != kNewsIndex)
                others[i].push_back(expect::expectedGiven(index, survivors[i], 0, {}));
        }

    const ranks::CivilDate todayBefore = ranks::localToday();
    const double before = expect::localDayNumber(std::time(nullptr));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(window.click(Command::RankLists));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double after = expect::localDayNumber(std::time(nullptr));
    const ranks::CivilDate todayAfter = ranks::localToday();
    std::cout << "[ full run ] " << GetParam().name << ": " << web.requests().size() << " pages in " << seconds << " s\n";

    // The news a ticker got was read once, somewhere in the run: before a
    // given moment every ticker shows the early reading, after it the late.
    // Only tickers whose reading differs between the two can move the split.
    std::vector<expect::Given> early, late;
    for (const std::string& t : survivors) {
        early.push_back(expect::expectedGiven(kNewsIndex, t, before, todayBefore));
        late.push_back(expect::expectedGiven(kNewsIndex, t, after, todayAfter));
    }
    std::vector<std::size_t> splits{survivors.size()};  // all early
    for (std::size_t i = 0; i < survivors.size(); ++i)
        if (!(early[i] == late[i]))
            splits.push_back(i);
    const Observed seen = observe();
    Expected want = expected(survivors, others, early);
    for (std::size_t split : splits) {
        std::vector<expect::Given> news(early.begin(), early.begin() + static_cast<std::ptrdiff_t>(split));
        news.insert(news.end(), late.begin() + static_cast<std::ptrdiff_t>(split), late.end());
        Expected candidate = expected(survivors, others, news);
        if (seen.matches(candidate)) {
            want = std::move(candidate);
            break;
        }
    }

    // The scenario reaches what it means to: odd entries that pass the
    // filter, ranked tickers, a ticker left out for a value of 0, ties, and
    // a spread of bands.
    EXPECT_TRUE(std::any_of(survivors.begin(), survivors.end(),
                            [](const std::string& t) { return t != ranks::lookupSymbol(t); }));
    EXPECT_TRUE(std::any_of(survivors.begin(), survivors.end(),
                            [](const std::string& t) { return !ranks::isListed(ranks::lookupSymbol(t)); }));
    ASSERT_GT(want.listed.size(), 100u);
    EXPECT_LT(want.listed.size(), survivors.size());
    EXPECT_LE(want.lowest, 0);
    EXPECT_TRUE(std::adjacent_find(want.listed.begin(), want.listed.end(), [](const Listed& a, const Listed& b) {
                    return a.value == b.value;
                }) != want.listed.end());
    EXPECT_GE(std::set<int>(want.bands.begin(), want.bands.end()).size(), 5u);

    // The grid: header, one row per listed ticker best first with its hidden
    // value and its picture, one empty row after them.
    const ResultsGrid& grid = window.resultsGrid;
    const int n = static_cast<int>(want.listed.size());
    ASSERT_EQ(grid.rows(), n + 2);
    EXPECT_EQ(grid.text(0, 0), "Ticker");
    EXPECT_EQ(grid.text(0, 1), "Rank");
    for (int r = 1; r <= n; ++r) {
        const Listed& l = want.listed[static_cast<std::size_t>(r - 1)];
        const std::string where = "grid row " + std::to_string(r);
        EXPECT_EQ(grid.text(r, 0), l.ticker) << where;
        EXPECT_EQ(grid.text(r, 1), "") << where;
        EXPECT_EQ(grid.text(r, 2), std::to_string(l.value)) << where << ", " << l.ticker;
        EXPECT_EQ(grid.picture(r, 1), picturePath(want.bands[static_cast<std::size_t>(r - 1)]))
            << where << ", " << l.ticker << " at " << l.value;
    }
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(grid.text(n + 1, c), "") << "last row, column " << c;
        EXPECT_EQ(grid.picture(n + 1, c), "") << "last row, column " << c;
    }
    EXPECT_EQ(grid.row(), 1);
    EXPECT_EQ(grid.col(), 1);

    // The table holds the listed tickers in grid order, each value as text.
    EXPECT_EQ(window.tickerList().size(), n);
    for (int i = 0; i < window.tickerList().size(); ++i) {
        const std::string where = "list row " + std::to_string(i);
        const Listed& l = want.listed[static_cast<std::size_t>(i)];
        EXPECT_EQ(window.tickerList()[i].ticker, l.ticker) << where;
        ASSERT_TRUE(std::holds_alternative<std::string>(window.tickerList()[i].score)) << where;
        EXPECT_EQ(std::get<std::string>(window.tickerList()[i].score), std::to_string(l.value)) << where;
    }

    // Captions, counters and buttons.
    EXPECT_EQ(window.progressLabel.caption, " " + std::to_string(n) + " tickers ranked");
    EXPECT_EQ(window.statusLabel.caption, "Idle...");
    EXPECT_EQ(window.rankListsButton.caption, "Rank Lists");
    EXPECT_FALSE(window.rankListsButton.enabled);
    EXPECT_TRUE(window.deleteBottomButton.enabled);
    EXPECT_TRUE(window.opinionButton.enabled);
    EXPECT_TRUE(window.saveListButton.enabled);
    EXPECT_TRUE(window.clearAllButton.enabled);
    EXPECT_TRUE(window.loadListButton.enabled);
    EXPECT_FALSE(window.cancelRequested());
    // Every page counted down: what is left is SmartSelect's skipped tickers.
    EXPECT_EQ(lastCountDown.substr(0, lastCountDown.find(" to go... ")), " " + std::to_string(skipped));
    EXPECT_TRUE(dialogs.messages.empty());

    // The requests: the filter's seven batches, then one page per ticker and
    // source (the fund count follows its next pages, SmartSelect skips the
    // tickers it cannot send). A page that several sources read is asked
    // for once, however far ahead pages are read.
    const std::vector<std::string> requests = web.requests();
    const auto quotes = std::count_if(requests.begin(), requests.end(), [](const std::string& url) {
        return url.find("/portfolio_quick_quotes.asp?tickers=") != std::string::npos;
    });
    EXPECT_EQ(quotes, 7);
    EXPECT_EQ(requests.size(), 7 + sharedPages(survivors));
}

INSTANTIATE_TEST_SUITE_P(Modes, FullRun,
                         ::testing::Values(Mode{"OneAfterAnother", 1}, Mode{"FetchedAhead", 0}),
                         [](const ::testing::TestParamInfo<Mode>& info) { return std::string(info.param.name); });

} // namespace
