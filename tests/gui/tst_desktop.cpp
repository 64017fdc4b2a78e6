// Desktop conventions over the real window: the results grid's rows copied
// for a spreadsheet, and a whole use of the program from the keyboard alone.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTableView>

#include <functional>

#include "guisupport.h"

using namespace veltrop;
using veltrop::testing::messages;

class DesktopTest : public veltrop::testing::WindowTest {
    Q_OBJECT

    QTableView* grid() { return find<QTableView>("resultsGrid"); }
    void clickCell(int viewRow, int column)
    {
        const QRect cell = grid()->visualRect(grid()->model()->index(viewRow, column));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // A key to whichever control has the focus, as the keyboard sends it.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QWidget* focused = QApplication::focusWidget();
        QVERIFY2(focused, "no control has the focus");
        QTest::keyClick(focused, key, modifiers);
    }
    // Tab, as often as it takes, until `name` has the focus.
    void tabTo(const char* name)
    {
        QWidget* target = find(name);
        for (int presses = 0; presses < 80 && QApplication::focusWidget() != target; ++presses)
            key(Qt::Key_Tab);
        QVERIFY2(QApplication::focusWidget() == target, name);
    }

private slots:
    void initTestCase() { startWeb(); }
    void init()
    {
        web->setLatency(0);
        web->clearFaults();
        openWindow();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        messages();
    }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { stopWeb(); }

    void copyPutsTheSelectedRowsOnTheClipboard()
    {
        const QString header = "Ticker\tScore\tBand\n";
        const QByteArray csvHeader = "ticker,score,band\r\n";
        const struct {
            const char* what;
            std::function<void()> select;
            QString text;   // empty: the clipboard stays as it was
            QByteArray csv;
        } cases[] = {
            {"as a run leaves the grid: its first row", [] {}, header + "IBM\t120\t17\n", csvHeader + "IBM,120,17\r\n"},
            {"a click on a cell: that cell's row", [&] { clickCell(1, 0); }, header + "A,B\t30\t9\n",
             csvHeader + "\"A,B\",30,9\r\n"},
            {"Ctrl+A: every ranked row", [&] { QTest::keyClick(grid(), Qt::Key_A, Qt::ControlModifier); },
             header + "IBM\t120\t17\nA,B\t30\t9\nMSFT\t7\t1\n", csvHeader + "IBM,120,17\r\n\"A,B\",30,9\r\nMSFT,7,1\r\n"},
            {"the empty last row: nothing", [&] { clickCell(3, 0); }, {}, {}},
        };
        for (const auto& c : cases) {
            controller().resultsGrid.showRanked({{"IBM", 120, 17}, {"A,B", 30, 9}, {"MSFT", 7, 1}},
                                                controller().programFolder());
            window->refresh();
            showPage(layout::ResultsPage);
            grid()->setFocus();
            QGuiApplication::clipboard()->setText("as it was");
            c.select();
            const int row = controller().resultsGrid.row(), col = controller().resultsGrid.col();
            QTest::keyClick(grid(), Qt::Key_C, Qt::ControlModifier);
            const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
            QVERIFY2(copied, c.what);
            QCOMPARE(copied->text(), c.text.isEmpty() ? QStringLiteral("as it was") : c.text);
            QCOMPARE(copied->data("text/csv"), c.csv);
            // Copying moves nothing: what Opinion reads stays.
            QCOMPARE(controller().resultsGrid.row(), row);
            QCOMPARE(controller().resultsGrid.col(), col);
        }

        // The grid's menu copies as Ctrl+C does; nothing is copied while a
        // command runs.
        controller().resultsGrid.showRanked({{"IBM", 120, 17}}, controller().programFolder());
        window->refresh();
        const QList<QAction*> actions = grid()->actions();
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions[0]->text(), QStringLiteral("&Copy"));
        actions[0]->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), header + "IBM\t120\t17\n");
        QGuiApplication::clipboard()->setText("as it was");
        web->setLatency(500);
        tick("listBox_3");
        press("getListsButton");
        QVERIFY(controller().running());
        actions[0]->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("as it was"));
        waitIdle();
    }

    void aWholeUseFromTheKeyboard()
    {
        // Lists: tick the Nasdaq 100 and gather it.
        tabTo("listBox_3");
        key(Qt::Key_Space);
        QCOMPARE(controller().listBoxes[3].value, 1);
        tabTo("getListsButton");
        key(Qt::Key_Return);
        waitIdle();
        QCOMPARE(controller().tickerList().size(), Count(100));

        // Ranks: two sources, then Rank Lists.
        key(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(window->tabControl()->currentIndex(), int(layout::RanksPage));
        tabTo("rankBox_0");
        key(Qt::Key_Space);
        tabTo("rankBox_5");
        key(Qt::Key_Space);
        QCOMPARE(controller().rankBoxes[0].value + controller().rankBoxes[5].value, 2);
        tabTo("rankListsButton");
        key(Qt::Key_Space);
        waitIdle();
        const int ranked = int(controller().resultsGrid.ranked().size());
        QVERIFY(ranked > 4);
        QCOMPARE(messages(), QStringList());

        // Results: the second ticker, then its opinion.
        key(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(window->tabControl()->currentIndex(), int(layout::ResultsPage));
        tabTo("resultsGrid");
        key(Qt::Key_Left);
        key(Qt::Key_Down);
        QCOMPARE(controller().resultsGrid.row(), 2);
        QCOMPARE(controller().resultsGrid.col(), 0);
        const std::string second = controller().resultsGrid.ranked()[1].ticker;
        tabTo("opinionButton");
        key(Qt::Key_Enter);
        waitIdle();
        QCOMPARE(controller().opinionTicker(), second);
        QVERIFY(!controller().opinionBox.text.empty());

        // Delete bottom 25%.
        tabTo("deleteBottomButton");
        key(Qt::Key_Space);
        QCOMPARE(int(controller().resultsGrid.ranked().size()), ranked - ranked / 4);

        // Escape does nothing when idle and is Cancel during a run.
        key(Qt::Key_Escape);
        QVERIFY(!controller().cancelRequested());
        web->setLatency(300);
        tabTo("resultsGrid");
        key(Qt::Key_Left);
        tabTo("opinionButton");
        key(Qt::Key_Space);
        QVERIFY(controller().running());
        key(Qt::Key_Escape);
        QVERIFY(controller().cancelRequested());
        waitIdle();

        // Ctrl+Shift+Tab goes back a tab.
        key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(window->tabControl()->currentIndex(), int(layout::RanksPage));
        QCOMPARE(messages(), QStringList());
    }
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
