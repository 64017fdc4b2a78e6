// Rank Lists in the real window against the simulated web: the run's
// messages and button states, its progress texts, Cancel during a run, and
// the results grid it leaves.
#include <cmath>
#include <map>

#include "guisupport.h"

using namespace veltrop;
using veltrop::testing::keptTickers;
using veltrop::testing::messages;
using veltrop::testing::rankAddress;
using veltrop::testing::rankPrefix;

namespace {

// The three single-cell sources used here and their cells.
struct CellSource {
    int index;
    int table, row, column;
};
constexpr CellSource kSources[] = {{0, 14, 2, 2}, {5, 11, 2, 4}, {7, 10, 28, 2}};

// A page with `text` in the source's cell.
std::string cellPage(const CellSource& s, const std::string& text)
{
    return veltrop::testing::cellPage(s.table, s.row, s.column, text);
}

std::vector<std::string> droppedTickers(std::size_t count)
{
    std::vector<std::string> dropped;
    for (const std::string& t : simweb::Market::instance().universe()) {
        if (simweb::quoteForm(t) == simweb::QuoteForm::Plain && simweb::Market::quote(t).price < 5)
            dropped.push_back(t);
        if (dropped.size() == count)
            break;
    }
    return dropped;
}

// The points source `s` gives ticker i: some none, some fractional.
double points(int source, std::size_t i) { return double((i * 7 + std::size_t(source) * 13) % 23) - 3 + 0.5; }

// Bands as the results grid draws them: 17 equal steps from the lowest to
// the highest value, edges held in single precision, the top value in band 17.
int band(double v, long long lowest, long long highest)
{
    const float w = float(highest - lowest) / 17.0f;
    for (int k = 1; k <= 17; ++k) {
        const float edge = k == 2 ? float((w + w) + lowest) : float(double(w) * k + lowest);
        if (v >= lowest && v <= edge)
            return k;
    }
    return v >= lowest && v <= highest ? 17 : 1;
}

} // namespace

class RankTest : public veltrop::testing::WindowTest {
    Q_OBJECT

    std::vector<std::string> tickers;

    // Puts a list into the window as Get Lists would leave it.
    void setList(const std::vector<std::string>& list)
    {
        tickers = list;
        putList(list);
        controller().saveListButton.enabled = true;
        window->refresh();
    }

    void servePages()
    {
        for (const CellSource& s : kSources)
            for (std::size_t i = 0; i < tickers.size(); ++i) {
                const double p = points(s.index, i);
                web->setPage(rankAddress(s.index, tickers[i]), cellPage(s, std::to_string(p).substr(0, 5)));
            }
    }

    std::size_t requestsTo(int index)
    {
        const std::string prefix = rankPrefix(index);
        std::size_t n = 0;
        for (const std::string& url : web->requests())
            n += url.starts_with(prefix);
        return n;
    }

    // Checks the grid against the averages of `gathered` (ticker i's points
    // summed over the pages each source served before the run ended).
    void expectGrid(const std::vector<double>& gathered, int sourcesRun)
    {
        struct Ranked {
            std::string ticker;
            long long value;
        };
        std::vector<Ranked> ranked;
        long long lowest = 10000, highest = -10000;
        for (std::size_t i = 0; i < tickers.size(); ++i) {
            const long long v = (long long)std::floor(gathered[i] / sourcesRun);
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
            if (v > 0)
                ranked.push_back({tickers[i], v});
        }
        std::stable_sort(ranked.begin(), ranked.end(), [](auto& a, auto& b) { return a.value > b.value; });

        const ResultsGrid& grid = controller().resultsGrid;
        QCOMPARE(grid.rows(), int(ranked.size()) + 2);
        QCOMPARE(controller().tickerList().size(), Count(ranked.size()));
        for (std::size_t r = 0; r < ranked.size(); ++r) {
            const int row = int(r) + 1;
            QCOMPARE(grid.text(row, 0), ranked[r].ticker);
            QCOMPARE(grid.text(row, 1), std::string());
            QCOMPARE(grid.text(row, 2), std::to_string(ranked[r].value));
            const std::string picture = "/vp" + std::to_string(band(double(ranked[r].value), lowest, highest)) + ".bmp";
            QVERIFY2(grid.picture(row, 1).ends_with(picture), grid.picture(row, 1).c_str());
        }
        QCOMPARE(label("progressLabel"), QStringLiteral(" %1 tickers ranked").arg(ranked.size()));
        QCOMPARE(grid.colWidth(2), 0);
    }

    void expectRunEnded()
    {
        QCOMPARE(find<QPushButton>("rankListsButton")->text(), QStringLiteral("Rank Lists"));
        QVERIFY(!enabled("rankListsButton"));
        QCOMPARE(label("statusLabel"), QStringLiteral("Idle..."));
        QVERIFY(!controller().cancelRequested());
    }

private slots:
    void initTestCase() { startWeb(); }
    void init()
    {
        web->setLatency(0);
        web->clearFaults();
        web->clearPages();
        openWindow();
        messages();
        web->clearRequests();
    }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { stopWeb(); }

    void nothingTickedTouchesNothing()
    {
        setList(keptTickers(5));
        controller().progressLabel.caption = "before";
        window->refresh();
        click("rankListsButton");
        QCOMPARE(messages(), QStringList{QStringLiteral("No Ranks selected")});
        QVERIFY(web->requests().empty());
        QVERIFY(enabled("rankListsButton"));
        QVERIFY(enabled("clearAllButton"));
        QVERIFY(enabled("saveListButton"));
        QCOMPARE(label("progressLabel"), QStringLiteral("before"));
        QCOMPARE(label("statusLabel"), QStringLiteral("Idle..."));
    }

    void nothingLeftAfterTheFilter()
    {
        setList(droppedTickers(4));
        tickRank(0);
        tickRank(16);
        click("rankListsButton");
        QCOMPARE(messages(), QStringList{QStringLiteral("No tickers ranked.  Clear and try again.")});
        QCOMPARE(requestsTo(0) + requestsTo(16), std::size_t(0));
        QVERIFY(!enabled("saveListButton"));
        QVERIFY(enabled("loadListButton"));
        QVERIFY(enabled("clearAllButton"));
        QCOMPARE(label("progressLabel"), QStringLiteral(" 0 tickers ranked"));
        expectRunEnded();
    }

    void threeSourcesOverFortyTickers()
    {
        setList(keptTickers(40));
        servePages();
        // Longer than the window's wait tick, so it repaints during every page.
        web->setLatency(30);
        for (const CellSource& s : kSources)
            tickRank(s.index);
        const int tab = window->tabControl()->currentIndex();

        // What the window shows while the pages load.
        QStringList progress;
        QStringList captions;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            const QString text = label("progressLabel");
            if (text.contains("to go") && (progress.isEmpty() || progress.back() != text))
                progress << text;
            const QString caption = find<QPushButton>("rankListsButton")->text();
            if (captions.isEmpty() || captions.back() != caption)
                captions << caption;
        });
        watch.start(0);
        click("rankListsButton");
        watch.stop();

        QCOMPARE(messages(), QStringList());
        QCOMPARE(progress.size(), 120);
        QCOMPARE(progress.front(), QStringLiteral(" 120 to go... ") + QString::fromStdString(tickers.front()));
        QCOMPARE(progress.back(), QStringLiteral(" 1 to go... ") + QString::fromStdString(tickers.back()));
        QVERIFY2(captions.size() > 10, "the rank button shows recorded scores as they come");

        std::vector<double> gathered(tickers.size(), 0);
        for (std::size_t i = 0; i < tickers.size(); ++i)
            for (const CellSource& s : kSources)
                gathered[i] += std::max(0.0, std::floor(points(s.index, i)));
        expectGrid(gathered, 3);
        QCOMPARE(controller().resultsGrid.row(), 1);
        QCOMPARE(controller().resultsGrid.col(), 1);
        QVERIFY(enabled("deleteBottomButton"));
        QVERIFY(enabled("opinionButton"));
        QVERIFY(enabled("saveListButton"));
        QCOMPARE(window->tabControl()->currentIndex(), tab);
        expectRunEnded();
    }

    void cancelDuringTheSecondSource()
    {
        setList(keptTickers(40));
        servePages();
        web->setLatency(30);
        for (const CellSource& s : kSources)
            tickRank(s.index);
        // Cancel while the second source is about a quarter through: its
        // count down runs from 80 to 41.
        int cancelledAt = 0;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            const QString text = label("progressLabel");
            if (cancelledAt || !text.contains("to go"))
                return;
            const int left = text.section(' ', 1, 1).toInt();
            if (left <= 70 && left > 40) {
                cancelledAt = left;
                press("cancelButton");
            }
        });
        watch.start(0);
        click("rankListsButton");
        watch.stop();

        QVERIFY(cancelledAt > 0);
        // Pages of the third source may have been fetched ahead; none of
        // them counts (the grid below has nothing of it).

        // The ticker in progress when Cancel came is finished, none after it.
        const std::size_t second = std::size_t(80 - cancelledAt + 1);
        std::vector<double> gathered(tickers.size(), 0);
        for (std::size_t i = 0; i < tickers.size(); ++i) {
            gathered[i] += std::max(0.0, std::floor(points(0, i)));
            if (i < second)
                gathered[i] += std::max(0.0, std::floor(points(5, i)));
        }
        expectGrid(gathered, 3);
        expectRunEnded();
    }

    void aSecondClickDuringARunIsIgnored()
    {
        setList(keptTickers(6));
        servePages();
        web->setLatency(20);
        tickRank(0);
        QTimer::singleShot(30, this, [this] { press("rankListsButton"); });
        click("rankListsButton");
        QCOMPARE(messages(), QStringList());
        QCOMPARE(requestsTo(0), std::size_t(6));
        expectRunEnded();
    }
};

QTEST_MAIN(RankTest)
#include "tst_rank.moc"
