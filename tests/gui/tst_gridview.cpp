// The results grid on screen follows the window's grid: shape, header,
// widths, texts, pictures and current cell; a click on a cell moves the
// grid's current cell.
#include <QHeaderView>
#include <QImage>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "app/gui/mainwindow.h"
#include "app/gui/tabcontrol.h"
#include "app/layout.h"

using namespace veltrop;
using veltrop::gui::MainWindow;

class GridViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> window;
    QTableView* view = nullptr;

    ResultsGrid& grid() { return window->controller().resultsGrid; }
    int pxX(int twips) const { return qRound(twips * window->logicalDpiX() / 1440.0); }

    // `tickers` ranked, the first scoring 0, the next 1 and so on, with
    // pictures from `folder`.
    void fill(const QStringList& tickers, const QString& folder = {})
    {
        RankedRows rows;
        for (qsizetype i = 0; i < tickers.size(); ++i)
            rows.push_back({tickers[i].toStdString(), Whole(i), int(9 + i)});
        grid().showRanked(rows, folder.toStdString());
        window->refresh();
    }

    QString shown(int row, int col) const { return view->model()->index(row, col).data().toString(); }

    // The colour painted at the middle of a cell's left part, as on screen.
    QColor colourAt(int row, int col)
    {
        const QRect cell = view->visualRect(view->model()->index(row, col));
        const QImage image = view->viewport()->grab().toImage();
        return image.pixelColor(cell.left() + 3, cell.center().y());
    }

private slots:
    void init()
    {
        window = std::make_unique<MainWindow>();
        window->tabControl()->setCurrentIndex(layout::ResultsPage);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get(), 5000));
        view = window->findChild<QTableView*>("resultsGrid");
        QVERIFY(view);
    }

    void cleanup() { window.reset(); }

    void headerRowWidthsAndHiddenColumnFollowTheModel()
    {
        fill({"IBM"});
        QHeaderView* header = view->horizontalHeader();
        QVERIFY(header->isVisible());
        QVERIFY(!view->verticalHeader()->isVisible());
        QCOMPARE(view->model()->columnCount(), 3);
        QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Ticker"));
        QCOMPARE(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Rank"));
        QCOMPARE(view->model()->headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignCenter));
        QCOMPARE(view->columnWidth(0), pxX(1000));
        QCOMPARE(view->columnWidth(1), pxX(3350));
        QVERIFY(view->isColumnHidden(2));
        QVERIFY(!view->isColumnHidden(1));

        // The header row is not a data row: one data row and the empty row
        // after it show.
        QCOMPARE(view->model()->rowCount(), 2);
        QCOMPARE(shown(0, 0), QStringLiteral("IBM"));
    }

    void rowsGrowAndShrinkWithTheModel()
    {
        fill({"AA", "BB", "CC", "DD"});
        QCOMPARE(view->model()->rowCount(), 5);
        QCOMPARE(shown(3, 0), QStringLiteral("DD"));
        QCOMPARE(shown(2, 2), QStringLiteral("2"));

        grid().showCut({{"AA", 3, 1}, {"CC", 2, 1}, {"DD", 1, 1}}, "");
        window->refresh();
        QCOMPARE(view->model()->rowCount(), 4);
        QCOMPARE(shown(1, 0), QStringLiteral("CC"));

        // Same shape, new text: still shown.
        grid().showCut({{"ZZ", 3, 1}, {"CC", 2, 1}, {"DD", 1, 1}}, "");
        window->refresh();
        QCOMPARE(shown(0, 0), QStringLiteral("ZZ"));

        grid().clear();
        window->refresh();
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(shown(0, 0), QString());
    }

    void cellPicturesAreDrawnAndMissingOnesLeftBlank()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QImage red(20, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(dir.filePath("vp9.bmp"), "BMP"));

        fill({"AA", "BB"}, dir.path());  // BB's vp10.bmp is not there
        grid().setCurrent(1, 0);         // the selection away from the picture cells
        window->refresh();
        QTest::qWait(50);

        QCOMPARE(colourAt(0, 1), QColor(Qt::red));
        QVERIFY2(colourAt(1, 1) != QColor(Qt::red), "a missing picture file drew something");
    }

    void currentCellFollowsTheModel()
    {
        fill({"AA", "BB", "CC"});
        grid().setCurrent(3, 1);
        window->refresh();
        QCOMPARE(view->currentIndex().row(), 2);
        QCOMPARE(view->currentIndex().column(), 1);
        const QModelIndexList selected = view->selectionModel()->selectedIndexes();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first(), view->currentIndex());
    }

    void clickOnACellMakesItCurrentInTheModel()
    {
        fill({"AA", "BB", "CC"});
        const QModelIndex target = view->model()->index(1, 1);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(target).center());
        QCOMPARE(grid().row(), 2);
        QCOMPARE(grid().col(), 1);
        QCOMPARE(view->selectionModel()->selectedIndexes(), QModelIndexList{target});

        // A later change of the grid still shows, and the current cell with it.
        grid().showRanked({{"AA", 3, 1}, {"XX", 2, 1}}, "");
        window->refresh();
        QCOMPARE(shown(1, 0), QStringLiteral("XX"));
        QCOMPARE(view->currentIndex(), view->model()->index(0, 1));
    }

    void commandsMovingTheCurrentCellDoNotCountAsClicks()
    {
        fill({"AA", "BB", "CC"});
        // A command moving the current cell row by row.
        for (int r = 1; r <= 3; ++r) {
            grid().setCurrent(r, 0);
            window->refresh();
        }
        grid().setCurrent(1, 1);
        window->refresh();
        QCOMPARE(grid().row(), 1);
        QCOMPARE(grid().col(), 1);
        QCOMPARE(view->currentIndex(), view->model()->index(0, 1));
    }
};

QTEST_MAIN(GridViewTest)
#include "tst_gridview.moc"
