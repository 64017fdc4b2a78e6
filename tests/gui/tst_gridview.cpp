// The results grid on screen follows its model: shape, header, widths,
// texts, pictures and current cell; a click on a cell moves the model's
// current cell.
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

    FlexGrid& grid() { return window->controller().resultsGrid; }
    int pxX(int twips) const { return qRound(twips * window->logicalDpiX() / 1440.0); }

    // The grid as start-up sets it up, with `tickers` data rows.
    void fill(const QStringList& tickers)
    {
        grid().setFormatString("^Ticker|^Rank");
        grid().setColWidth(0, 1000);
        grid().setColWidth(1, 3350);
        grid().setColWidth(2, 0);
        grid().setRows(2);
        grid().setTextMatrix(1, 0, tickers.value(0).toStdString());
        for (qsizetype i = 1; i < tickers.size(); ++i)
            grid().addItem(tickers[i].toStdString() + "\t\t" + std::to_string(i));
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

        // The header row is not a data row: one data row shows.
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(shown(0, 0), QStringLiteral("IBM"));
    }

    void rowsGrowAndShrinkWithTheModel()
    {
        fill({"AA", "BB", "CC", "DD"});
        QCOMPARE(view->model()->rowCount(), 4);
        QCOMPARE(shown(3, 0), QStringLiteral("DD"));
        QCOMPARE(shown(2, 2), QStringLiteral("2"));

        QVERIFY(grid().removeItem(2));  // "BB"
        window->refresh();
        QCOMPARE(view->model()->rowCount(), 3);
        QCOMPARE(shown(1, 0), QStringLiteral("CC"));

        // Same shape, new text: still shown.
        grid().setTextMatrix(1, 0, "ZZ");
        window->refresh();
        QCOMPARE(shown(0, 0), QStringLiteral("ZZ"));

        grid().setRows(2);
        window->refresh();
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(shown(0, 0), QStringLiteral("ZZ"));
    }

    void cellPicturesAreDrawnAndMissingOnesLeftBlank()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QImage red(20, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        const QString picture = dir.filePath("vp9.bmp");
        QVERIFY(red.save(picture, "BMP"));

        fill({"AA", "BB"});
        grid().setCol(1);
        grid().setRow(1);
        grid().setCellPicture(picture.toStdString());
        grid().setRow(2);
        grid().setCellPicture(dir.filePath("vp10.bmp").toStdString());  // not there
        grid().setRow(1);
        grid().setCol(0);  // the selection away from the picture cells
        window->refresh();
        QTest::qWait(50);

        QCOMPARE(colourAt(0, 1), QColor(Qt::red));
        QVERIFY2(colourAt(1, 1) != QColor(Qt::red), "a missing picture file drew something");
    }

    void currentCellFollowsTheModel()
    {
        fill({"AA", "BB", "CC"});
        grid().setRow(3);
        grid().setCol(1);
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
        QCOMPARE(grid().rowSel(), 2);
        QCOMPARE(grid().colSel(), 1);

        // A later change of the model still shows, and the click stays.
        grid().setTextMatrix(2, 0, "XX");
        window->refresh();
        QCOMPARE(shown(1, 0), QStringLiteral("XX"));
        QCOMPARE(view->currentIndex(), target);
        QCOMPARE(grid().row(), 2);
    }

    void commandsMovingTheCurrentCellDoNotCountAsClicks()
    {
        fill({"AA", "BB", "CC"});
        // A command walking the rows, as the ranking display does.
        for (int r = 1; r <= 3; ++r) {
            grid().setRow(r);
            grid().setCol(0);
            window->refresh();
        }
        grid().setRow(1);
        grid().setCol(1);
        window->refresh();
        QCOMPARE(grid().row(), 1);
        QCOMPARE(grid().col(), 1);
        QCOMPARE(view->currentIndex(), view->model()->index(0, 1));
    }
};

QTEST_MAIN(GridViewTest)
#include "tst_gridview.moc"
