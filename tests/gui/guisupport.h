#pragma once
// Shared pieces of the window tests: one simulated web for the whole test
// program as the route of every page, a fresh real window for each test, and
// its controls found by name and clicked where a user clicks.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>

#include <memory>

#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "app/gui/tabcontrol.h"
#include "app/layout.h"
#include "tests/marketpicks.h"
#include "tools/simweb/server.h"

namespace veltrop::testing {

// The message boxes shown since the last call, oldest first.
inline QStringList messages()
{
    QStringList texts;
    for (const std::string& text : gui::QtDialogs::takeMessages())
        texts << QString::fromStdString(text);
    return texts;
}

// The base of a window test class; its slots call these from initTestCase,
// init, cleanup and cleanupTestCase.
class WindowTest : public QObject {
protected:
    std::unique_ptr<simweb::Server> web;
    std::unique_ptr<gui::MainWindow> window;

    WindowController& controller() { return window->controller(); }
    template <class W = QWidget> W* find(const char* name)
    {
        W* widget = window->findChild<W*>(name);
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    QPushButton* button(const char* name) { return find<QPushButton>(name); }
    QString label(const char* name) { return find<QLabel>(name)->text(); }
    bool enabled(const char* name) { return button(name)->isEnabled(); }
    // A command runs beside the event loop, so the click that starts it
    // returns at once: press() for a click made during a run, click() for
    // one whose command the test waits out. The wait handles each event as
    // it comes, as the window's own loop does, not in polled batches.
    void press(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void waitIdle()
    {
        QDeadlineTimer deadline(60000);
        QTimer wake;  // a command that never ends still meets the deadline
        wake.start(20);
        while (controller().running() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QVERIFY2(!controller().running(), "the command did not end within a minute");
    }
    void click(const char* name)
    {
        press(name);
        waitIdle();
    }

    // Starts `name`'s command and closes the window `closeAfterMs` into it:
    // the close must end the command at once, silently, and let nothing
    // start after it.
    void expectPromptClose(const char* name, int closeAfterMs)
    {
        long long closeMs = -1;
        QTimer::singleShot(closeAfterMs, window.get(), [&] {
            QVERIFY(controller().running());
            QElapsedTimer timer;
            timer.start();
            window->close();
            closeMs = timer.elapsed();
        });
        press(name);
        QTRY_VERIFY_WITH_TIMEOUT(closeMs >= 0, 5000);
        QVERIFY2(closeMs < 100, qPrintable(QStringLiteral("the close took %1 ms").arg(closeMs)));
        QVERIFY(!window->isVisible());
        QVERIFY(controller().closing());
        QVERIFY(!controller().running());
        QCOMPARE(messages(), QStringList());
        QVERIFY(!controller().click(Command::Help));
    }

    // A click on the box's tick square, where a user clicks.
    void tick(const char* name)
    {
        QCheckBox* box = find<QCheckBox>(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
    void showPage(int page)
    {
        QTabBar* bar = window->tabControl()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
    }
    // Rank box `box`, on the page that holds it.
    void tickRank(int box)
    {
        if (window->tabControl()->currentIndex() != layout::RanksPage)
            showPage(layout::RanksPage);
        tick(qPrintable(QStringLiteral("rankBox_%1").arg(box)));
    }

    // Puts `list` into the window as Get Lists leaves it, none scored yet.
    void putList(const std::vector<std::string>& list)
    {
        controller().setTickerList(list);
        controller().rankListsButton.enabled = true;
        controller().clearAllButton.enabled = true;
        controller().getListsButton.enabled = false;
    }

    // Message boxes answer themselves and every page comes from the web.
    void startWeb()
    {
        gui::QtDialogs::setAutomatic(true);
        web = std::make_unique<simweb::Server>();
        qputenv("http_proxy", QByteArray::fromStdString(web->proxyUrl()));
        qunsetenv("no_proxy");
        qunsetenv("NO_PROXY");
    }
    void stopWeb()
    {
        web.reset();
        gui::QtDialogs::setAutomatic(false);
    }

    // A window as start-up leaves it, on screen.
    void openWindow()
    {
        window = std::make_unique<gui::MainWindow>();
        window->load();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get(), 5000));
    }
    // Closes the window and forgets what it said.
    void closeWindow()
    {
        window.reset();
        messages();
    }
};

} // namespace veltrop::testing
