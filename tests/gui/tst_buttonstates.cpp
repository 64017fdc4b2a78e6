// Which command buttons the window enables, step by step through command
// sequences a user runs, and under every message box on the way: read from
// the real widgets, so the table and its mirror in the window are both
// checked.
#include <QTemporaryDir>

#include <fstream>

#include "guisupport.h"
#include "tools/simweb/sites.h"

using namespace veltrop;
using veltrop::testing::messages;

namespace {

// The command buttons in the order the states are written: Get Lists, Rank
// Lists, Opinion, Save List, Load List, Clear All, Delete bottom 25%, Help,
// Cancel, Test; "+" enabled, "-" not.
constexpr const char* order[] = {"getListsButton", "rankListsButton", "opinionButton", "saveListButton",
                                 "loadListButton", "clearAllButton",  "deleteBottomButton", "helpButton",
                                 "cancelButton",   "testButton"};

// Every step of a sequence: a command's end, or a message box, with the
// buttons as they stood then.
struct Step {
    QString what;     // the button clicked, or the message's text
    QString buttons;  // as `order` writes them
};

} // namespace

class ButtonStatesTest : public veltrop::testing::WindowTest {
    Q_OBJECT

    QList<Step> steps;

    QString states()
    {
        QString s;
        for (const char* name : order)
            s += enabled(name) ? '+' : '-';
        return s;
    }

    void clickStep(const char* name)
    {
        QVERIFY2(enabled(name), name);
        click(name);
        steps.push_back({name, states()});
    }

    void expectSteps(const QList<Step>& expected)
    {
        QCOMPARE(steps.size(), expected.size());
        for (qsizetype i = 0; i < steps.size(); ++i) {
            QCOMPARE(steps[i].what, expected[i].what);
            QVERIFY2(steps[i].buttons == expected[i].buttons,
                     qPrintable(QStringLiteral("%1: %2, expected %3")
                                    .arg(steps[i].what, steps[i].buttons, expected[i].buttons)));
        }
    }

private slots:
    void initTestCase() { startWeb(); }
    void init()
    {
        web->clearFaults();
        web->clearPages();
        openWindow();
        messages();
        steps.clear();
        // The window as it stands under each message box.
        gui::QtDialogs::setMessageWitness(
            [this](const std::string& text) { steps.push_back({QString::fromStdString(text), states()}); });
    }
    void cleanup()
    {
        gui::QtDialogs::setMessageWitness({});
        closeWindow();
    }
    void cleanupTestCase() { stopWeb(); }

    void startUp() { QCOMPARE(states(), QStringLiteral("+---+--+++")); }

    void aListFromTheWebRankedCutAndCleared()
    {
        tick("listBox_3");
        clickStep("getListsButton");
        tickRank(0);
        clickStep("rankListsButton");
        window->tabControl()->setCurrentIndex(layout::ResultsPage);
        clickStep("deleteBottomButton");
        clickStep("opinionButton");
        clickStep("saveListButton");  // the save dialog is cancelled
        clickStep("clearAllButton");
        expectSteps({
            {"getListsButton", "-+-+++-+++"},
            {"rankListsButton", "--++++++++"},
            {"deleteBottomButton", "--++++++++"},
            // The grid's current cell is a picture's, which names no ticker.
            {"Select a ticker and try again.", "--++++++++"},
            {"opinionButton", "--++++++++"},
            {"saveListButton", "--++++++++"},
            {"clearAllButton", "+---+--+++"},
        });
    }

    void messagesOnTheWay()
    {
        // Nothing ticked: Get Lists says so while it still runs.
        clickStep("getListsButton");
        // Every list fails, then the table fills from a long one.
        web->setFault(QStringLiteral("http://%1/").arg(hosts::nasdaq).toStdString(), simweb::Fault::NotFound);
        tick("listBox_3");
        tick("listBox_2");
        tick("listBox_8");
        clickStep("getListsButton");
        // No rank source ticked.
        clickStep("rankListsButton");
        // A failed quote page, then nothing ranked.
        web->setFault("/portfolio_quick_quotes.asp", simweb::Fault::NotFound);
        tickRank(0);
        clickStep("rankListsButton");
        QList<Step> expected = {
            {"No Tickers selected", "-------+++"},
            {"getListsButton", "+---+--+++"},
            {"Couldn't connect. Clear list and try again.", "-------+++"},
            {"Only 500 tickers allowed", "-------+++"},
            {"getListsButton", "-+-+++-+++"},
            {"No Ranks selected", "-+-+++-+++"},
            {"rankListsButton", "-+-+++-+++"},
        };
        // One message for each of the filter's seven batches.
        for (int batch = 1; batch <= 7; ++batch)
            expected.push_back(
                {"Could not open Filtering site.. please write support@pellamys-veltrop.example", "-------+++"});
        expected.push_back({"No tickers ranked.  Clear and try again.", "--++--++++"});
        expected.push_back({"rankListsButton", "--+-++++++"});
        expectSteps(expected);
    }

    void aListFromAFileIsNotSavedAgain()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath("list.vel");
        std::ofstream(path.toStdString()) << "NOSUCH\r\n";
        gui::QtDialogs::queueFileName(path);
        clickStep("loadListButton");
        // Nothing passes the filter, so nothing is ranked.
        tickRank(0);
        clickStep("rankListsButton");
        // An empty file leaves no list.
        const QString empty = folder.filePath("empty.vel");
        std::ofstream(empty.toStdString()) << "";
        gui::QtDialogs::queueFileName(empty);
        clickStep("loadListButton");
        expectSteps({
            {"Ticker Lists must be proper format, one ticker symbol per line", "+---+--+++"},
            {"loadListButton", "-+--++-+++"},
            {"No tickers ranked.  Clear and try again.", "--++--++++"},
            {"rankListsButton", "--+-++++++"},
            {"Ticker Lists must be proper format, one ticker symbol per line", "--+-++++++"},
            {"No Tickers selected", "+---+--+++"},
            {"loadListButton", "+---+--+++"},
        });
    }
};

QTEST_MAIN(ButtonStatesTest)
#include "tst_buttonstates.moc"
