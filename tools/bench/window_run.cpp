// Rank Lists through the real window, offscreen: the S&P 500 list gathered
// with Get Lists, every rank source ticked, Rank Lists clicked as a user
// clicks it, timed from the click until the window is idle again. Beside it,
// in the same process and on the same list, the same run without a window
// (the controller alone, as rank_run times it), and the floors neither can
// beat. What counts is the window's ratio to its floor: the window's own
// share of a run is whatever it adds to the headless one.
//
//   window_run [LATENCY_MS]      (default: 50)
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "app/gui/dialogs.h"
#include "app/gui/mainwindow.h"
#include "app/windowcontroller.h"
#include "tools/bench/floors.h"
#include "tools/bench/silentdialogs.h"
#include "tools/simweb/server.h"
#include "web/fetchpool.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int sAndP500Box = 2;
constexpr int rankSourceCount = 17;

struct Outcome {
    double seconds = 0;
    std::vector<std::string> requests;
    double workSeconds = 0;
    std::string ranked;  // the ranked list as Save List writes it
    std::string labels;
};

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string labelsOf(const veltrop::WindowController& c)
{
    return c.progressLabel.caption + "|" + c.statusLabel.caption + "|" + c.rankListsButton.caption;
}

// Until the window's controller has no command running, the event loop
// applying the command's updates meanwhile.
void waitUntilIdle(veltrop::WindowController& controller)
{
    if (!controller.running())
        return;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!controller.running())
            loop.quit();
    });
    poll.start(1);
    loop.exec();
}

template <class W> W* control(veltrop::gui::MainWindow& window, const QString& name)
{
    W* widget = window.findChild<W*>(name);
    if (!widget) {
        std::fprintf(stderr, "no control %s\n", qPrintable(name));
        std::exit(2);
    }
    return widget;
}

// Gathers the S&P 500 list in the window and saves it to `listFile`.
void gatherList(veltrop::gui::MainWindow& window, const std::string& listFile)
{
    control<QCheckBox>(window, QStringLiteral("listBox_%1").arg(sAndP500Box))->click();
    control<QPushButton>(window, QStringLiteral("getListsButton"))->click();
    waitUntilIdle(window.controller());
    window.controller().saveListTo(listFile);
}

Outcome throughWindow(veltrop::gui::MainWindow& window, simweb::Server& web, const std::string& resultFile)
{
    for (int box = 0; box < rankSourceCount; ++box) {
        QCheckBox* rank = control<QCheckBox>(window, QStringLiteral("rankBox_%1").arg(box));
        if (!rank->isChecked())
            rank->click();
    }
    veltrop::WindowController& controller = window.controller();
    const double workAtStart = controller.fetchpool().counters().workSeconds;
    web.clearRequests();
    Outcome o;
    const auto start = Clock::now();
    control<QPushButton>(window, QStringLiteral("rankListsButton"))->click();
    waitUntilIdle(controller);
    o.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    o.requests = web.requests();
    o.workSeconds = controller.fetchpool().counters().workSeconds - workAtStart;
    controller.saveListTo(resultFile);
    o.ranked = fileText(resultFile);
    o.labels = labelsOf(controller);
    return o;
}

Outcome headless(simweb::Server& web, const std::string& listFile, const std::string& resultFile)
{
    SilentDialogs dialogs;
    veltrop::WindowController controller(dialogs);
    controller.load();
    controller.loadListFrom(listFile);
    for (auto& [index, box] : controller.rankBoxes)
        box.value = 1;
    web.clearRequests();
    Outcome o;
    const auto start = Clock::now();
    // With no window to notify, the click returns once the run has ended.
    controller.click(veltrop::Command::RankLists);
    o.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    o.requests = web.requests();
    o.workSeconds = controller.fetchpool().counters().workSeconds;
    controller.saveListTo(resultFile);
    o.ranked = fileText(resultFile);
    o.labels = labelsOf(controller);
    return o;
}


} // namespace

int main(int argc, char** argv)
{
    const int latency = argc > 1 ? std::atoi(argv[1]) : 50;
    if (latency < 0) {
        std::fprintf(stderr, "latency must be 0 or more\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    simweb::Server web;
    web.setLatency(latency);
    ::setenv("http_proxy", web.proxyUrl().c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
    veltrop::gui::QtDialogs::setAutomatic(true);

    const std::string folder = std::filesystem::temp_directory_path().string();
    const std::string stem = folder + "/window_run." + std::to_string(::getpid());
    const std::string listFile = stem + ".list.vel", windowFile = stem + ".window.vel",
                      headlessFile = stem + ".headless.vel";

    veltrop::gui::MainWindow window;
    window.load();
    window.show();
    gatherList(window, listFile);
    const std::string list = fileText(listFile);
    const long tickers = std::count(list.begin(), list.end(), '\n');
    std::printf("Rank Lists of the S&P 500 list (%ld tickers before the filter), all %d sources, %d ms per response\n",
                tickers, rankSourceCount, latency);

    const Outcome shown = throughWindow(window, web, windowFile);
    std::printf("through the window (offscreen): %8.2f s  %6zu requests\n", shown.seconds, shown.requests.size());
    std::fflush(stdout);
    const Outcome bare = headless(web, listFile, headlessFile);
    std::printf("the controller alone:           %8.2f s  %6zu requests\n", bare.seconds, bare.requests.size());

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const double lFloor = latencyFloor(shown.requests, latency);
    const double pFloor = shown.workSeconds / cores;
    const double floor = std::max(lFloor, pFloor);
    std::printf("latency floor:                  %8.2f s  (busiest host's addresses x %d ms / 6)\n", lFloor, latency);
    std::printf("processor floor:                %8.2f s  (%.2f s of parsing and extraction / %u cores)\n", pFloor,
                shown.workSeconds, cores);
    std::printf("controller alone / larger floor:%8.2f x\n", bare.seconds / floor);
    const bool same = shown.ranked == bare.ranked && shown.labels == bare.labels;
    std::printf("identical ranked list and labels: %s\n", same ? "yes" : "NO");
    std::printf("window / larger floor:          %8.2f x\n", shown.seconds / floor);
    for (const std::string& file : {listFile, windowFile, headlessFile})
        std::remove(file.c_str());
    return same ? 0 : 1;
}
