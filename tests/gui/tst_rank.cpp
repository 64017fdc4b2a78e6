// Rank Lists in the real window against the simulated web: the run's
// messages and button states, its progress texts, Cancel during a run, and
// the results grid it leaves.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>

#include <cmath>
#include <map>

#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "app/gui/tabcontrol.h"
#include "app/layout.h"
#include "rank/ranksources.h"
#include "tools/simweb/market.h"
#include "tools/simweb/quotemodel.h"
#include "tools/simweb/server.h"

using namespace veltrop;
using veltrop::gui::MainWindow;
using veltrop::gui::QtDialogs;

namespace {

QStringList messages()
{
    QStringList texts;
    for (const std::string& text : QtDialogs::takeMessages())
        texts << QString::fromStdString(text);
    return texts;
}

// The three single-cell sources used here and their cells.
struct CellSource {
    int index;
    int table, row, column;
};
constexpr CellSource kSources[] = {{0, 14, 2, 2}, {5, 11, 2, 4}, {7, 10, 28, 2}};

std::string pageAddress(int index, const std::string& ticker)
{
    const RankSource& s = *rankSourceByIndex(index);
    return "http://" + std::string(s.host) + std::string(s.before) + ticker + std::string(s.after);
}

// A page with `text` in cell (table, row, column) and small tables before it.
std::string cellPage(const CellSource& s, const std::string& text)
{
    std::string html = "<html><body>";
    for (int t = 1; t < s.table; ++t)
        html += "<table><tr><td>menu</td></tr></table>";
    html += "<table>";
    for (int r = 1; r <= s.row; ++r) {
        html += "<tr>";
        for (int c = 1; c <= s.column; ++c)
            html += "<td>" + (r == s.row && c == s.column ? text : std::string("-")) + "</td>";
        html += "</tr>";
    }
    return html + "</table></body></html>";
}

// Listed tickers that the quote page shows plainly, priced above 5 with a
// volume above 25,000: the filter keeps them.
std::vector<std::string> keptTickers(std::size_t count)
{
    std::vector<std::string> kept;
    for (const std::string& t : simweb::Market::instance().universe()) {
        const simweb::Quote q = simweb::Market::quote(t);
        if (simweb::quoteForm(t) == simweb::QuoteForm::Plain && q.price > 5 && q.volume > 25000)
            kept.push_back(t);
        if (kept.size() == count)
            break;
    }
    return kept;
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

class RankTest : public QObject {
    Q_OBJECT

    std::unique_ptr<simweb::Server> web;
    std::unique_ptr<MainWindow> window;
    std::vector<std::string> tickers;

    Form1& form() { return window->form(); }
    template <class W = QWidget> W* find(const char* name)
    {
        W* widget = window->findChild<W*>(name);
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    bool enabled(const char* name) { return find<QPushButton>(name)->isEnabled(); }
    QString label(const char* name) { return find<QLabel>(name)->text(); }
    void click(const char* name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
    void tick(int rankBox)
    {
        QTabBar* bar = window->tabControl()->tabBar();
        if (window->tabControl()->currentIndex() != layout::RanksPage)
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(layout::RanksPage).center());
        QCheckBox* box = find<QCheckBox>(qPrintable(QStringLiteral("Rank_%1").arg(rankBox)));
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }

    // Puts a list into the window as Get Lists would leave it.
    void setList(const std::vector<std::string>& list)
    {
        tickers = list;
        form().tickercount = Integer(list.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            form().tickertable[i + 1][0] = list[i];
            form().tickertable[i + 1][1] = std::monostate{};
        }
        form().rankbutton.enabled = true;
        form().clearbutton.enabled = true;
        form().savelistbutton.enabled = true;
        form().getbutton.enabled = false;
        window->refresh();
    }

    void servePages()
    {
        for (const CellSource& s : kSources)
            for (std::size_t i = 0; i < tickers.size(); ++i) {
                const double p = points(s.index, i);
                web->setPage(pageAddress(s.index, tickers[i]), cellPage(s, std::to_string(p).substr(0, 5)));
            }
    }

    std::size_t requestsTo(int index)
    {
        const RankSource& s = *rankSourceByIndex(index);
        const std::string prefix = "http://" + std::string(s.host) + std::string(s.before);
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

        const FlexGrid& grid = form().MSFlexGrid1;
        QCOMPARE(grid.rows(), int(ranked.size()) + 2);
        QCOMPARE(form().tickercount, Integer(ranked.size()));
        for (std::size_t r = 0; r < ranked.size(); ++r) {
            const int row = int(r) + 1;
            QCOMPARE(grid.textMatrix(row, 0), ranked[r].ticker);
            QCOMPARE(grid.textMatrix(row, 1), std::string());
            QCOMPARE(grid.textMatrix(row, 2), std::to_string(ranked[r].value));
            const std::string picture = "/vp" + std::to_string(band(double(ranked[r].value), lowest, highest)) + ".bmp";
            QVERIFY2(grid.picture(row, 1).ends_with(picture), grid.picture(row, 1).c_str());
        }
        QCOMPARE(label("Label2"), QStringLiteral(" %1 tickers ranked").arg(ranked.size()));
        QCOMPARE(grid.colWidth(2), 0);
    }

    void expectRunEnded()
    {
        QCOMPARE(find<QPushButton>("rankbutton")->text(), QStringLiteral("Rank Lists"));
        QVERIFY(!enabled("rankbutton"));
        QCOMPARE(label("Label3"), QStringLiteral("Idle..."));
        QVERIFY(!form().cancelflag);
    }

private slots:
    void initTestCase()
    {
        QtDialogs::setAutomatic(true);
        web = std::make_unique<simweb::Server>();
        qputenv("http_proxy", QByteArray::fromStdString(web->proxyUrl()));
        qunsetenv("no_proxy");
        qunsetenv("NO_PROXY");
    }

    void init()
    {
        web->setLatency(0);
        web->clearFaults();
        web->clearPages();
        window = std::make_unique<MainWindow>();
        window->load();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get(), 5000));
        messages();
        web->clearRequests();
    }

    void cleanup()
    {
        window.reset();
        messages();
    }

    void cleanupTestCase()
    {
        web.reset();
        QtDialogs::setAutomatic(false);
    }

    void nothingTickedTouchesNothing()
    {
        setList(keptTickers(5));
        form().Label2.caption = "before";
        window->refresh();
        click("rankbutton");
        QCOMPARE(messages(), QStringList{QStringLiteral("No Ranks selected")});
        QVERIFY(web->requests().empty());
        QVERIFY(enabled("rankbutton"));
        QVERIFY(enabled("clearbutton"));
        QVERIFY(enabled("savelistbutton"));
        QCOMPARE(label("Label2"), QStringLiteral("before"));
        QCOMPARE(label("Label3"), QStringLiteral("Idle..."));
    }

    void nothingLeftAfterTheFilter()
    {
        setList(droppedTickers(4));
        tick(0);
        tick(16);
        click("rankbutton");
        QCOMPARE(messages(), QStringList{QStringLiteral("No tickers ranked.  Clear and try again.")});
        QCOMPARE(requestsTo(0) + requestsTo(16), std::size_t(0));
        QCOMPARE(form().sourcesrun, Integer(2));
        QVERIFY(!enabled("savelistbutton"));
        QVERIFY(enabled("loadlistbutton"));
        QVERIFY(enabled("clearbutton"));
        QCOMPARE(label("Label2"), QStringLiteral(" 0 tickers ranked"));
        expectRunEnded();
    }

    void threeSourcesOverFortyTickers()
    {
        setList(keptTickers(40));
        servePages();
        // Longer than the window's wait tick, so it repaints during every page.
        web->setLatency(30);
        for (const CellSource& s : kSources)
            tick(s.index);
        const int tab = window->tabControl()->currentIndex();

        // What the window shows while the pages load.
        QStringList progress;
        QStringList captions;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            const QString text = label("Label2");
            if (text.contains("to go") && (progress.isEmpty() || progress.back() != text))
                progress << text;
            const QString caption = find<QPushButton>("rankbutton")->text();
            if (captions.isEmpty() || captions.back() != caption)
                captions << caption;
        });
        watch.start(0);
        click("rankbutton");
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
        QCOMPARE(form().MSFlexGrid1.row(), 1);
        QCOMPARE(form().MSFlexGrid1.col(), 1);
        QVERIFY(enabled("delete25"));
        QVERIFY(enabled("opinionbutton"));
        QVERIFY(enabled("savelistbutton"));
        QCOMPARE(window->tabControl()->currentIndex(), tab);
        expectRunEnded();
    }

    void cancelDuringTheSecondSource()
    {
        setList(keptTickers(40));
        servePages();
        web->setLatency(30);
        for (const CellSource& s : kSources)
            tick(s.index);
        // Cancel while the second source is about a quarter through: its
        // count down runs from 80 to 41.
        int cancelledAt = 0;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            const QString text = label("Label2");
            if (cancelledAt || !text.contains("to go"))
                return;
            const int left = text.section(' ', 1, 1).toInt();
            if (left <= 70 && left > 40) {
                cancelledAt = left;
                click("cancelbutton");
            }
        });
        watch.start(0);
        click("rankbutton");
        watch.stop();

        QVERIFY(cancelledAt > 0);
        // Pages of the third source may have been fetched ahead; none of
        // them counts (the grid below has nothing of it).
        QCOMPARE(form().sourcesrun, Integer(3));

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
        tick(0);
        QTimer::singleShot(30, this, [this] { click("rankbutton"); });
        click("rankbutton");
        QCOMPARE(messages(), QStringList());
        QCOMPARE(requestsTo(0), std::size_t(6));
        expectRunEnded();
    }
};

QTEST_MAIN(RankTest)
#include "tst_rank.moc"
