// Save List, Load List and Opinion through the real window against the
// simulated web, with the dialogs answered by the test.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "app/gui/tabcontrol.h"
#include "app/layout.h"
#include "tools/simweb/opinionmodel.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/server.h"
#include "web/hosts.h"

using namespace veltrop;
using veltrop::gui::MainWindow;
using veltrop::gui::QtDialogs;

namespace {

const QString formatMessage = QStringLiteral("Ticker Lists must be proper format, one ticker symbol per line");

QStringList messages()
{
    QStringList texts;
    for (const std::string& text : QtDialogs::takeMessages())
        texts << QString::fromStdString(text);
    return texts;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

std::vector<std::string> nasdaqTickers()
{
    return simweb::listTickers(hosts::nasdaq, "/dynamic/nasdaq100_activity.stm", "");
}

} // namespace

class FilesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<simweb::Server> web;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<QTemporaryDir> folder;

    Form1& form() { return window->form(); }
    template <class W = QWidget> W* find(const char* name)
    {
        W* widget = window->findChild<W*>(name);
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    QPushButton* button(const char* name) { return find<QPushButton>(name); }
    QString labelText(const char* name) { return find<QLabel>(name)->text(); }
    bool enabled(const char* name) { return button(name)->isEnabled(); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    void showPage(int page)
    {
        QTabBar* bar = window->tabControl()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
    }

    // Get Lists on the Nasdaq 100, as a user gathers a list.
    void gatherNasdaq()
    {
        QCheckBox* box = find<QCheckBox>("List_3");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        click("getbutton");
        QCOMPARE(form().tickercount, Integer(100));
        QCOMPARE(messages(), QStringList());
    }

    std::vector<std::string> tickers()
    {
        std::vector<std::string> out;
        for (int row = 1; row <= form().tickercount; ++row)
            out.push_back(cellText(form().tickertable[row][0]));
        return out;
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
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(folder->isValid());
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
        folder.reset();
        messages();
    }

    void cleanupTestCase()
    {
        web.reset();
        QtDialogs::setAutomatic(false);
    }

    void aSavedListLoadsBackThroughTheWindow()
    {
        gatherNasdaq();
        const QString path = folder->filePath("nasdaq.vel");
        QtDialogs::queueFileName(path);
        click("savelistbutton");
        QCOMPARE(messages(), QStringList());

        QByteArray expected;
        for (const std::string& ticker : nasdaqTickers())
            expected += QByteArray::fromStdString(ticker) + "\r\n";
        QCOMPARE(fileBytes(path), expected);
        // Saving changes nothing on the window.
        QCOMPARE(labelText("Label1"), QStringLiteral(" 100 tickers found"));
        QVERIFY(enabled("savelistbutton"));

        click("clearbutton");
        QCOMPARE(form().tickercount, Integer(0));
        QtDialogs::queueFileName(path);
        click("loadlistbutton");
        QCOMPARE(messages(), QStringList{formatMessage});
        QCOMPARE(tickers(), nasdaqTickers());
        QCOMPARE(labelText("Label1"), QStringLiteral(" 100 tickers found"));
        QCOMPARE(button("getbutton")->text(), QStringLiteral("Get Lists"));
        QVERIFY(!enabled("getbutton"));
        for (const char* on : {"clearbutton", "rankbutton", "loadlistbutton"})
            QVERIFY2(enabled(on), on);
        for (const char* off : {"savelistbutton", "delete25", "opinionbutton"})
            QVERIFY2(!enabled(off), off);
    }

    void aLoadOfLowerCaseLinesShowsTheirCount()
    {
        const QString path = folder->filePath("mine.vel");
        {
            std::ofstream out(path.toStdString(), std::ios::binary);
            out << "msft\r\nIntc\nibm\r";
        }
        QtDialogs::queueFileName(path);
        click("loadlistbutton");
        QCOMPARE(messages(), QStringList{formatMessage});
        QCOMPARE(tickers(), (std::vector<std::string>{"MSFT", "INTC", "IBM"}));
        QCOMPARE(labelText("Label1"), QStringLiteral(" 3 tickers found"));
    }

    void aCancelledOpenChangesNothing()
    {
        gatherNasdaq();
        click("loadlistbutton");  // nothing queued: the dialog is cancelled
        QCOMPARE(messages(), QStringList{formatMessage});
        QCOMPARE(tickers(), nasdaqTickers());
        QCOMPARE(labelText("Label1"), QStringLiteral(" 100 tickers found"));
        QVERIFY(!enabled("getbutton"));
        for (const char* on : {"savelistbutton", "clearbutton", "rankbutton", "loadlistbutton"})
            QVERIFY2(enabled(on), on);
    }

    void aFailedSaveSaysSoAndACancelledOneSaysNothing()
    {
        gatherNasdaq();
        QtDialogs::queueFileName(folder->filePath("gone/list.vel"));
        click("savelistbutton");
        const QStringList shown = messages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("The list could not be saved.\n"), qPrintable(shown[0]));
        QVERIFY(shown[0].size() > QStringLiteral("The list could not be saved.\n").size());

        click("savelistbutton");
        QCOMPARE(messages(), QStringList());
        QCOMPARE(QDir(folder->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void opinionOnAClickedTickerCell()
    {
        // A ranked grid as a run leaves it: the picture cell of row 1 current.
        FlexGrid& grid = form().MSFlexGrid1;
        grid.setRows(4);
        const QStringList shownTickers{"MSFT", "IBM", "INTC"};
        for (int row = 1; row <= 3; ++row)
            grid.setTextMatrix(row, 0, shownTickers[row - 1].toStdString());
        grid.setRow(1);
        grid.setCol(1);
        form().opinionbutton.enabled = true;
        window->refresh();
        showPage(layout::ResultsPage);

        click("opinionbutton");
        QCOMPARE(messages(), QStringList{"Select a ticker and try again."});
        QCOMPARE(labelText("Label3"), QStringLiteral("Idle..."));
        QCOMPARE(web->requests().size(), std::size_t(0));

        auto* view = find<QTableView>("MSFlexGrid1");
        const QRect cell = view->visualRect(view->model()->index(1, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(grid.row(), 2);
        QCOMPARE(grid.col(), 0);

        web->setLatency(400);
        QString statusDuring;
        QTimer::singleShot(200, window.get(), [&] { statusDuring = labelText("Label3"); });
        click("opinionbutton");
        QCOMPARE(statusDuring, QStringLiteral("Getting opinion..."));
        QCOMPARE(labelText("Label3"), QStringLiteral("Idle..."));
        QCOMPARE(messages(), QStringList());
        QCOMPARE(web->requests().size(), std::size_t(1));
        QVERIFY(QString::fromStdString(web->requests()[0]).endsWith("&Symbol=IBM"));
        QCOMPARE(find<QPlainTextEdit>("TextBox2")->toPlainText(),
                 QString::fromStdString(simweb::opinionReportText("IBM")));
        // The command does not bring the opinion page forward.
        QCOMPARE(window->tabControl()->currentIndex(), int(layout::ResultsPage));

        // A report page that fails leaves the report where it is.
        web->setFault("http://" + std::string(hosts::telescan) + "/", simweb::Fault::ServerError);
        click("opinionbutton");
        QCOMPARE(messages(), QStringList());
        QCOMPARE(find<QPlainTextEdit>("TextBox2")->toPlainText(),
                 QString::fromStdString(simweb::opinionReportText("IBM")));
        QCOMPARE(labelText("Label3"), QStringLiteral("Idle..."));
    }
};

QTEST_MAIN(FilesTest)
#include "tst_files.moc"
