// The window driven as a user drives it, against the simulated web on
// loopback: clicks on the real buttons and boxes, typing into the real text
// boxes, with message boxes answered automatically.
#include <QLineEdit>
#include <QPlainTextEdit>

#include <chrono>
#include <functional>

#include "guisupport.h"
#include "tools/simweb/sites.h"

using namespace veltrop;
using namespace std::chrono_literals;
using veltrop::testing::messages;
using Clock = std::chrono::steady_clock;

namespace {

const QString nasdaqList = QStringLiteral("http://%1/dynamic/nasdaq100_activity.stm").arg(hosts::nasdaq);
const QString signalList = QStringLiteral("http://%1/sigtop.htx?start=all").arg(hosts::barchart);

bool requested(const simweb::Server& web, const QString& part)
{
    for (const std::string& url : web.requests())
        if (QString::fromStdString(url).contains(part))
            return true;
    return false;
}

long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

} // namespace

class CommandsTest : public veltrop::testing::WindowTest {
    Q_OBJECT

    QStringList startUpMessages;

    // Runs `action` after `ms`, while whatever command was started meanwhile runs.
    void after(int ms, std::function<void()> action)
    {
        QTimer::singleShot(ms, window.get(), std::move(action));
    }

private slots:
    void initTestCase() { startWeb(); }
    void init()
    {
        web->setLatency(0);
        web->clearFaults();
        openWindow();
        startUpMessages = messages();
        web->clearRequests();
    }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { stopWeb(); }

    void startUpLeavesTheWindowReadyForAList()
    {
        QCOMPARE(startUpMessages, QStringList());
        for (const char* on : {"getListsButton", "loadListButton", "cancelButton", "helpButton", "testButton"})
            QVERIFY2(enabled(on), on);
        for (const char* off : {"saveListButton", "clearAllButton", "rankListsButton", "deleteBottomButton", "opinionButton"})
            QVERIFY2(!enabled(off), off);
        QCOMPARE(label("statusLabel"), QStringLiteral("Idle..."));
        QCOMPARE(label("tickersFoundLabel"), QString());
        QCOMPARE(label("progressLabel"), QString());
        QCOMPARE(find<QLineEdit>("priceLimitBox")->text(), QStringLiteral("5"));
        QCOMPARE(find<QLineEdit>("volumeLimitBox")->text(), QStringLiteral("25000"));
        QCOMPARE(window->tabControl()->currentIndex(), 0);
    }

    void startUpWithoutAConnectionSaysSoOnce()
    {
        window.reset();
        quint16 deadPort;
        {
            simweb::Server gone;
            deadPort = gone.port();
        }
        const QByteArray proxy = qgetenv("http_proxy");
        qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(deadPort));
        openWindow();
        qputenv("http_proxy", proxy);

        QCOMPARE(messages(), QStringList{"No Web connection found.  Please connect to use the program"});
        QVERIFY(enabled("getListsButton"));
        QVERIFY(!enabled("saveListButton"));
        QCOMPARE(label("statusLabel"), QStringLiteral("Idle..."));
    }

    void checkBoxClicksWriteTheirValue()
    {
        tick("listBox_3");
        QCOMPARE(controller().listBoxes[3].value, 1);
        tick("listBox_3");
        QCOMPARE(controller().listBoxes[3].value, 0);
        showPage(layout::RanksPage);
        tick("rankBox_15");
        QCOMPARE(controller().rankBoxes[15].value, 1);
        QCOMPARE(controller().listBoxes[3].value, 0);
    }

    void getListsGathersTheTickedList()
    {
        tick("listBox_3");
        click("getListsButton");

        QCOMPARE(messages(), QStringList());
        QVERIFY(requested(*web, nasdaqList));
        QCOMPARE(controller().tickerList().size(), Count(100));
        QCOMPARE(label("tickersFoundLabel"), QStringLiteral(" 100 tickers found"));
        QCOMPARE(button("getListsButton")->text(), QStringLiteral("Get Lists"));
        QCOMPARE(label("statusLabel"), QStringLiteral("Idle..."));
        QVERIFY(!enabled("getListsButton"));
        for (const char* on : {"loadListButton", "saveListButton", "clearAllButton", "rankListsButton"})
            QVERIFY2(enabled(on), on);
    }

    void getListsWithNothingTickedSaysSo()
    {
        click("getListsButton");
        QCOMPARE(messages(), QStringList{"No Tickers selected"});
        QCOMPARE(web->requests().size(), std::size_t(0));
        QVERIFY(enabled("getListsButton"));
        QVERIFY(enabled("loadListButton"));
        QVERIFY(!enabled("saveListButton"));
        QCOMPARE(label("tickersFoundLabel"), QString());
    }

    void progressShowsWhileAPageLoads()
    {
        web->setLatency(600);
        tick("listBox_3");
        QString status;
        bool getEnabled = true;
        bool loadEnabled = true;
        after(300, [&] {
            status = label("statusLabel");
            getEnabled = enabled("getListsButton");
            loadEnabled = enabled("loadListButton");
        });
        click("getListsButton");
        QCOMPARE(status, QStringLiteral("Processing lists...."));
        QVERIFY(!getEnabled);
        QVERIFY(!loadEnabled);
        QCOMPARE(label("statusLabel"), QStringLiteral("Idle..."));
    }

    void cancelReachesTheRunningCommandAtOnce()
    {
        web->setLatency(1200);
        tick("listBox_3");
        QPushButton* cancel = button("cancelButton");
        Clock::time_point clickedAt;
        long long delayMs = -1;
        bool flagAtHandling = false;
        const auto watch = connect(cancel, &QPushButton::clicked, this, [&] {
            delayMs = msSince(clickedAt);
            flagAtHandling = controller().cancelRequested();
        });
        after(300, [&] {
            QCOMPARE(controller().running(), true);
            clickedAt = Clock::now();
            // Through the event queue, as a user's click arrives.
            QMetaObject::invokeMethod(cancel, &QPushButton::click, Qt::QueuedConnection);
        });
        click("getListsButton");
        disconnect(watch);

        QVERIFY2(delayMs >= 0, "the Cancel click was not handled during the run");
        QVERIFY(flagAtHandling);
        QVERIFY2(delayMs < 100, qPrintable(QStringLiteral("Cancel took %1 ms").arg(delayMs)));
        // Get Lists itself does not stop for Cancel.
        QCOMPARE(controller().tickerList().size(), Count(100));
        QVERIFY(controller().cancelRequested());
    }

    void otherClicksDuringARunAreIgnored()
    {
        web->setLatency(800);
        tick("listBox_3");
        bool testEnabled = false;
        after(250, [&] {
            testEnabled = enabled("testButton");
            press("testButton");
            press("helpButton");
            QMetaObject::invokeMethod(button("testButton"), &QPushButton::click, Qt::QueuedConnection);
        });
        click("getListsButton");

        QVERIFY2(testEnabled, "the Test button was not clickable during the run");
        QVERIFY(!requested(*web, "portfolio_quick_quotes"));
        QCOMPARE(messages(), QStringList());
        QCOMPARE(find<QPlainTextEdit>("testPageBox")->toPlainText(), QString());
        QCOMPARE(controller().tickerList().size(), Count(100));
    }

    void boxTickedDuringARunCountsForItsOwnSource()
    {
        web->setLatency(500);
        tick("listBox_3");
        after(200, [&] { tick("listBox_8"); });
        click("getListsButton");
        QCOMPARE(controller().listBoxes[8].value, 1);
        QVERIFY(requested(*web, signalList));
        QCOMPARE(controller().tickerList().size(), Count(200));
        QCOMPARE(label("tickersFoundLabel"), QStringLiteral(" 200 tickers found"));
    }

    void thresholdBoxesCheckEveryChange()
    {
        showPage(layout::OptionsPage);
        QLineEdit* price = find<QLineEdit>("priceLimitBox");
        QTest::keyClick(price, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(price, Qt::Key_Backspace);
        QCOMPARE(messages(), QStringList{"Enter a number between 1 and 500"});
        QCOMPARE(controller().limits().price, Whole(0));

        QTest::keyClick(price, '6');
        QTest::keyClick(price, '0');
        QCOMPARE(messages(), QStringList());
        QCOMPARE(controller().limits().price, Whole(60));
        QTest::keyClick(price, '0');
        QCOMPARE(messages(), QStringList{"Enter a number between 1 and 500"});
        QCOMPARE(controller().limits().price, Whole(600));
        QCOMPARE(controller().priceLimitBox.text, std::string("600"));
        QCOMPARE(price->text(), QStringLiteral("600"));

        QLineEdit* volume = find<QLineEdit>("volumeLimitBox");
        QTest::keyClick(volume, Qt::Key_End);
        QTest::keyClicks(volume, "00");
        QCOMPARE(messages(), QStringList());
        QCOMPARE(controller().limits().volume, Whole(2500000));
        // 25 million passes; 250 million does not.
        QTest::keyClicks(volume, "00");
        QCOMPARE(messages(), QStringList{"Enter a number between 1 and 50 million"});
        QCOMPARE(controller().limits().volume, Whole(250000000));
    }

    void testCommandAppendsTheQuotePageToItsBox()
    {
        auto* output = find<QPlainTextEdit>("testPageBox");
        click("testButton");
        QCOMPARE(messages(), QStringList{"Done"});
        QVERIFY(requested(*web, "portfolio_quick_quotes.asp?tickers=intc+rare+mho"));
        const QString page = QString::fromStdString(controller().testPageBox.text);
        QVERIFY(page.contains("INTC"));
        QCOMPARE(output->toPlainText(), page);

        click("testButton");
        QCOMPARE(messages(), QStringList{"Done"});
        QCOMPARE(output->toPlainText(), page + page);

        // What the user types into the box is what the commands read.
        output->moveCursor(QTextCursor::End);
        QTest::keyClicks(output, "note");
        QCOMPARE(QString::fromStdString(controller().testPageBox.text), page + page + "note");
    }

    void helpShowsTheToolsPageAddress()
    {
        click("helpButton");
        QCOMPARE(messages(), QStringList{QString::fromStdString(WindowController::toolsPageUrl())});
        QCOMPARE(web->requests().size(), std::size_t(0));
        // A disabled button does nothing.
        click("clearAllButton");
        QCOMPARE(messages(), QStringList());
    }

    void closingDuringARunEndsItPromptly()
    {
        web->setFault(nasdaqList.toStdString(), simweb::Fault::Stall);
        tick("listBox_3");
        expectPromptClose("getListsButton", 300);
    }

    void aMessageBoxShowsOverTheWindowAsItStandsThen()
    {
        // What every label and button shows under each message box, beside
        // what the commands had set by then.
        QStringList shown, set;
        gui::QtDialogs::setMessageWitness([&](const std::string&) {
            QString widgets, models;
            for (const char* name : {"tickersFoundLabel", "progressLabel", "statusLabel"})
                widgets += label(name) + "|";
            for (const char* name : {"getListsButton", "rankListsButton"})
                widgets += button(name)->text() + "|";
            const WindowController& f = controller();
            for (const Label* model : {&f.tickersFoundLabel, &f.progressLabel, &f.statusLabel})
                models += QString::fromStdString(model->caption) + "|";
            for (const Button* model : {&f.getListsButton, &f.rankListsButton})
                models += QString::fromStdString(model->caption) + "|";
            shown << widgets;
            set << models;
        });

        controller().opinionButton.enabled = true;
        window->refresh();
        click("opinionButton");
        // Nothing survives the filter, so nothing is ranked.
        controller().setTickerList({"NOSUCH"});
        controller().rankListsButton.enabled = true;
        controller().rankBoxes[0].value = 1;
        window->refresh();
        click("rankListsButton");
        gui::QtDialogs::setMessageWitness({});

        QCOMPARE(messages(), (QStringList{"Select a ticker and try again.", "No tickers ranked.  Clear and try again."}));
        QCOMPARE(shown, set);
        QVERIFY(shown[0].contains("Getting opinion..."));
    }

    void closingWhenIdleClosesAtOnce()
    {
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        QVERIFY(!controller().closing());
    }
};

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
