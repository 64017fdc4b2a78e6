// Save List, Load List and Opinion through the real window against the
// simulated web, with the dialogs answered by the test.
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <fstream>

#include "guisupport.h"
#include "tools/simweb/opinionmodel.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/sites.h"

using namespace veltrop;
using veltrop::gui::QtDialogs;
using veltrop::testing::messages;

namespace {

const QString formatMessage = QStringLiteral("Ticker Lists must be proper format, one ticker symbol per line");

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

class FilesTest : public veltrop::testing::WindowTest {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;

    // Get Lists on the Nasdaq 100, as a user gathers a list.
    void gatherNasdaq()
    {
        tick("listBox_3");
        click("getListsButton");
        QCOMPARE(controller().tickerList().size(), Count(100));
        QCOMPARE(messages(), QStringList());
    }

    std::vector<std::string> tickers()
    {
        std::vector<std::string> out;
        for (int row = 1; row <= controller().tickerList().size(); ++row)
            out.push_back(controller().tickerList()[row - 1].ticker);
        return out;
    }

private slots:
    void initTestCase() { startWeb(); }
    void init()
    {
        web->setLatency(0);
        web->clearFaults();
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(folder->isValid());
        openWindow();
        messages();
        web->clearRequests();
    }
    void cleanup()
    {
        closeWindow();
        folder.reset();
    }
    void cleanupTestCase() { stopWeb(); }

    void aSavedListLoadsBackThroughTheWindow()
    {
        gatherNasdaq();
        const QString path = folder->filePath("nasdaq.vel");
        QtDialogs::queueFileName(path);
        click("saveListButton");
        QCOMPARE(messages(), QStringList());

        QByteArray expected;
        for (const std::string& ticker : nasdaqTickers())
            expected += QByteArray::fromStdString(ticker) + "\r\n";
        QCOMPARE(fileBytes(path), expected);
        // Saving changes nothing on the window.
        QCOMPARE(label("tickersFoundLabel"), QStringLiteral(" 100 tickers found"));
        QVERIFY(enabled("saveListButton"));

        click("clearAllButton");
        QCOMPARE(controller().tickerList().size(), Count(0));
        QtDialogs::queueFileName(path);
        click("loadListButton");
        QCOMPARE(messages(), QStringList{formatMessage});
        QCOMPARE(tickers(), nasdaqTickers());
        QCOMPARE(label("tickersFoundLabel"), QStringLiteral(" 100 tickers found"));
        QCOMPARE(button("getListsButton")->text(), QStringLiteral("Get Lists"));
        QVERIFY(!enabled("getListsButton"));
        for (const char* on : {"clearAllButton", "rankListsButton", "loadListButton"})
            QVERIFY2(enabled(on), on);
        for (const char* off : {"saveListButton", "deleteBottomButton", "opinionButton"})
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
        click("loadListButton");
        QCOMPARE(messages(), QStringList{formatMessage});
        QCOMPARE(tickers(), (std::vector<std::string>{"MSFT", "INTC", "IBM"}));
        QCOMPARE(label("tickersFoundLabel"), QStringLiteral(" 3 tickers found"));
    }

    void aCancelledOpenChangesNothing()
    {
        gatherNasdaq();
        click("loadListButton");  // nothing queued: the dialog is cancelled
        QCOMPARE(messages(), QStringList{formatMessage});
        QCOMPARE(tickers(), nasdaqTickers());
        QCOMPARE(label("tickersFoundLabel"), QStringLiteral(" 100 tickers found"));
        QVERIFY(!enabled("getListsButton"));
        for (const char* on : {"saveListButton", "clearAllButton", "rankListsButton", "loadListButton"})
            QVERIFY2(enabled(on), on);
    }

    void aFailedSaveSaysSoAndACancelledOneSaysNothing()
    {
        gatherNasdaq();
        QtDialogs::queueFileName(folder->filePath("gone/list.vel"));
        click("saveListButton");
        const QStringList shown = messages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("The list could not be saved.\n"), qPrintable(shown[0]));
        QVERIFY(shown[0].size() > QStringLiteral("The list could not be saved.\n").size());

        click("saveListButton");
        QCOMPARE(messages(), QStringList());
        QCOMPARE(QDir(folder->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void opinionOnAClickedTickerCell()
    {
        // A ranked grid as a run leaves it: the picture cell of row 1 current.
        ResultsGrid& grid = controller().resultsGrid;
        grid.showRanked({{"MSFT", 3, 17}, {"IBM", 2, 9}, {"INTC", 1, 1}}, controller().programFolder());
        controller().opinionButton.enabled = true;
        window->refresh();
        showPage(layout::ResultsPage);

        click("opinionButton");
        QCOMPARE(messages(), QStringList{"Select a ticker and try again."});
        QCOMPARE(label("statusLabel"), QStringLiteral("Idle..."));
        QCOMPARE(web->requests().size(), std::size_t(0));

        auto* view = find<QTableView>("resultsGrid");
        const QRect cell = view->visualRect(view->model()->index(1, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(grid.row(), 2);
        QCOMPARE(grid.col(), 0);

        web->setLatency(400);
        QString statusDuring;
        QTimer::singleShot(200, window.get(), [&] { statusDuring = label("statusLabel"); });
        click("opinionButton");
        QCOMPARE(statusDuring, QStringLiteral("Getting opinion..."));
        QCOMPARE(label("statusLabel"), QStringLiteral("Idle..."));
        QCOMPARE(messages(), QStringList());
        QCOMPARE(web->requests().size(), std::size_t(1));
        QVERIFY(QString::fromStdString(web->requests()[0]).endsWith("&Symbol=IBM"));
        QCOMPARE(find<QPlainTextEdit>("opinionBox")->toPlainText(),
                 QString::fromStdString(simweb::opinionReportText("IBM")));
        // The command does not bring the opinion page forward.
        QCOMPARE(window->tabControl()->currentIndex(), int(layout::ResultsPage));

        // A report page that fails leaves the report where it is.
        web->setFault("http://" + std::string(hosts::telescan) + "/", simweb::Fault::ServerError);
        click("opinionButton");
        QCOMPARE(messages(), QStringList());
        QCOMPARE(find<QPlainTextEdit>("opinionBox")->toPlainText(),
                 QString::fromStdString(simweb::opinionReportText("IBM")));
        QCOMPARE(label("statusLabel"), QStringLiteral("Idle..."));
    }

    void aFileFromOutsideLoadsAsLoadListLoadsOne()
    {
        const QString good = folder->filePath("mine.vel"), other = folder->filePath("other.txt");
        const QString missing = folder->filePath("gone.vel");
        for (const QString& path : {good, other}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("ibm\r\nmsft\r\nintc\r\n");
        }
        const auto drop = [this](QWidget* on, const QStringList& paths) {
            QMimeData data;
            QList<QUrl> urls;
            for (const QString& path : paths)
                urls << QUrl::fromLocalFile(path);
            data.setUrls(urls);
            const QPoint at = on->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(on, &enter);
            QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(on, &dropped);
            return enter.isAccepted();
        };
        QWidget* testBox = find<QPlainTextEdit>("testPageBox")->viewport();
        const QString unreadable = "The list file %1 could not be read.";
        const struct {
            const char* what;
            std::function<bool()> open;  // whether a drag was taken
            bool taken;
            QStringList messages;
            std::vector<std::string> list;
        } cases[] = {
            {"a file argument", [&] { window->openListFile(good); return true; }, true, {}, {"IBM", "MSFT", "INTC"}},
            {"a file argument that is not there", [&] { window->openListFile(missing); return true; }, true,
             {unreadable.arg(missing)}, {"A", "B"}},
            {"a folder dropped", [&] { return drop(window.get(), {folder->path()}); }, true,
             {unreadable.arg(folder->path())}, {"A", "B"}},
            {"a file of any name dropped on the window", [&] { return drop(window.get(), {other}); }, true, {},
             {"IBM", "MSFT", "INTC"}},
            {"dropped on a text box", [&] { return drop(testBox, {good}); }, true, {}, {"IBM", "MSFT", "INTC"}},
            {"two files dropped", [&] { return drop(window.get(), {good, other}); }, false, {}, {"A", "B"}},
        };
        for (const auto& c : cases) {
            putList({"A", "B"});
            window->refresh();
            QCOMPARE(c.open(), c.taken);
            QCOMPARE(messages(), c.messages);
            QCOMPARE(tickers(), c.list);
            if (c.list.size() == 3) {
                QCOMPARE(label("tickersFoundLabel"), QStringLiteral(" 3 tickers found"));
                QVERIFY(enabled("rankListsButton"));
            }
        }
        // A drop inserts no text.
        QCOMPARE(find<QPlainTextEdit>("testPageBox")->toPlainText(), QString());

        // A drop while a command runs is refused.
        web->setLatency(500);
        controller().getListsButton.enabled = true;
        window->refresh();
        tick("listBox_3");
        press("getListsButton");
        QVERIFY(controller().running());
        QVERIFY(!drop(window.get(), {good}));
        waitIdle();
        // Get Lists adds to the list it found; the dropped file was not read.
        QCOMPARE(controller().tickerList().size(), Count(102));
        QCOMPARE(messages(), QStringList());
    }
};

QTEST_MAIN(FilesTest)
#include "tst_files.moc"
