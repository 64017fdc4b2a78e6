// The window under network faults, driven as a user drives it: Cancel while a
// page stalls, a double click on Rank Lists, and closing the window while a
// run, the filter or the opinion report waits for a page.
#include <chrono>
#include <functional>
#include <map>

#include <QAccessible>

#include "guisupport.h"
#include "tools/simweb/sites.h"

using namespace veltrop;
using namespace std::chrono_literals;
using veltrop::testing::cellPage;
using veltrop::testing::keptTickers;
using veltrop::testing::messages;
using veltrop::testing::rankAddress;
using veltrop::testing::rankPrefix;
using Clock = std::chrono::steady_clock;

namespace {

long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}


const std::string quotePage = std::string("http://") + hosts::quotes + "/portfolio_quick_quotes.asp";
const std::string opinionPage = std::string("http://") + hosts::telescan + "/wsc2/Interpretive_Text";

} // namespace

Q_DECLARE_METATYPE(simweb::Fault)

class FaultsTest : public veltrop::testing::WindowTest {
    Q_OBJECT

    std::vector<std::string> tickers;

    // Puts a list into the window as Get Lists would leave it, with pages
    // for sources 0 (8 points a ticker) and 5 (4 points).
    void setList(const std::vector<std::string>& list)
    {
        tickers = list;
        putList(list);
        for (const std::string& t : list) {
            web->setPage(rankAddress(0, t), cellPage(14, 2, 2, "8"));
            web->setPage(rankAddress(5, t), cellPage(11, 2, 4, "4"));
        }
        window->refresh();
    }

    // The events a double click delivers: press, release, then a second
    // press that arrives as a double click, and its release.
    static void doubleClick(QWidget* widget)
    {
        const QPointF at = QRectF(widget->rect()).center();
        const QPointF global = widget->mapToGlobal(at);
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                        QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent event(type, at, global, Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(widget, &event);
        }
    }

    std::size_t requestsStartingWith(const std::string& prefix) const
    {
        std::size_t n = 0;
        for (const std::string& url : web->requests())
            n += url.starts_with(prefix);
        return n;
    }

    std::map<std::string, std::string> gridValues()
    {
        std::map<std::string, std::string> values;
        const ResultsGrid& grid = controller().resultsGrid;
        for (int r = 1; r < grid.rows(); ++r)
            if (!grid.text(r, 0).empty())
                values[grid.text(r, 0)] = grid.text(r, 2);
        return values;
    }

private slots:
    void initTestCase() { startWeb(); }
    void init()
    {
        web->setLatency(0);
        web->setStallLimit(120s);
        web->clearFaults();
        web->clearPages();
        openWindow();
        messages();
        web->clearRequests();
    }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { stopWeb(); }

    void cancelDuringAStallActsBetweenTickers_data()
    {
        QTest::addColumn<simweb::Fault>("fault");
        QTest::addColumn<bool>("stalledPageOpens");
        QTest::newRow("a slow page") << simweb::Fault::Slow << true;
        QTest::newRow("headers, then silence") << simweb::Fault::HeadersThenSilence << false;
    }

    void cancelDuringAStallActsBetweenTickers()
    {
        QFETCH(simweb::Fault, fault);
        QFETCH(bool, stalledPageOpens);
        setList(keptTickers(4));
        web->setStallLimit(800ms);
        web->setFault(rankAddress(0, tickers[1]), fault);
        tickRank(0);
        tickRank(5);

        // Cancel once the second ticker's page is being waited for.
        bool cancelled = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!cancelled && label("progressLabel").endsWith(QString::fromStdString(tickers[1]))) {
                cancelled = true;
                press("cancelButton");
            }
        });
        watch.start(0);
        const Clock::time_point start = Clock::now();
        click("rankListsButton");
        const long long took = msSince(start);
        watch.stop();

        QVERIFY(cancelled);
        // The stalled page is waited out: Cancel does not cut a page short.
        QVERIFY2(took >= 700 && took < 4000, qPrintable(QStringLiteral("%1 ms").arg(took)));
        QCOMPARE(messages(), QStringList());
        // Averages over both sources: the first source's 8 points for the
        // tickers it reached, nothing from the second.
        std::map<std::string, std::string> expected{{tickers[0], "4"}};
        if (stalledPageOpens)
            expected[tickers[1]] = "4";
        QCOMPARE(gridValues(), expected);
        QVERIFY(!controller().cancelRequested());
        QCOMPARE(label("statusLabel"), QStringLiteral("Idle..."));
        // The second source never started: its box says so, to the eye and
        // to a screen reader.
        QCheckBox* barchart = find<QCheckBox>("rankBox_5");
        const QString report = QStringLiteral("Barchart Overall Performance\nRated 0 of 4; stopped at %1: Cancel.")
                                   .arg(QString::fromStdString(tickers[0]));
        QCOMPARE(barchart->toolTip(), report);
        QCOMPARE(QAccessible::queryAccessibleInterface(barchart)->text(QAccessible::Description), report);
    }

    void aDoubleClickOnRankListsRunsOnce()
    {
        setList(keptTickers(6));
        web->setLatency(20);
        tickRank(0);
        doubleClick(button("rankListsButton"));
        waitIdle();
        QCOMPARE(messages(), QStringList());
        QCOMPARE(requestsStartingWith(quotePage), std::size_t(1));
        QCOMPARE(requestsStartingWith(rankPrefix(0)), std::size_t(6));
        QCOMPARE(gridValues().size(), std::size_t(6));

        // A double click that arrives while the run waits for its pages.
        setList(keptTickers(6));
        web->clearRequests();
        bool clicked = false;
        QTimer::singleShot(40, this, [&] {
            clicked = controller().running();
            controller().rankListsButton.enabled = true;  // even an enabled button starts nothing now
            window->refresh();
            doubleClick(button("rankListsButton"));
        });
        click("rankListsButton");
        QVERIFY(clicked);
        QCOMPARE(messages(), QStringList());
        QCOMPARE(requestsStartingWith(quotePage), std::size_t(1));
        QCOMPARE(requestsStartingWith(rankPrefix(0)), std::size_t(6));
        for (const std::string& t : tickers)
            QCOMPARE(gridValues()[t], std::string("8"));
    }

    void closingMidRunEndsPromptly()
    {
        setList(keptTickers(5));
        web->setFault(rankPrefix(0), simweb::Fault::Stall);
        tickRank(0);
        expectPromptClose("rankListsButton", 300);
    }

    void closingMidFilterEndsPromptly()
    {
        setList(keptTickers(5));
        web->setFault(quotePage, simweb::Fault::HeadersThenSilence);
        tickRank(0);
        expectPromptClose("rankListsButton", 300);
        QCOMPARE(requestsStartingWith(rankPrefix(0)), std::size_t(0));
    }

    void closingMidOpinionEndsPromptly()
    {
        web->setFault(opinionPage, simweb::Fault::Drip);
        controller().resultsGrid.showRanked({{keptTickers(1).front(), 1, 1}}, "");
        controller().resultsGrid.setCurrent(1, 0);
        controller().opinionButton.enabled = true;
        controller().opinionBox.text = "the report before";
        window->refresh();
        expectPromptClose("opinionButton", 300);
        QCOMPARE(controller().opinionBox.text, std::string("the report before"));
    }
};

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
