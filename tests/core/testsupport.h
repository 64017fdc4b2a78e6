#pragma once
// Shared pieces of the logic tests: dialogs that answer themselves, and the
// simulated web as the route of every page.
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/controls.h"
#include "app/windowcontroller.h"
#include "domain/webaccess.h"
#include "filter/filter.h"
#include "rank/rankrun.h"
#include "web/fetchpool.h"
#include "tests/marketpicks.h"
#include "tools/simweb/server.h"

namespace veltrop::testing {

class RecordingDialogs : public Dialogs {
public:
    std::vector<std::string> messages;
    std::deque<std::string> nextFileNames;  // empty: the dialog is cancelled
    std::vector<FileDialogState> shown;
    std::string documents;

    void message(const std::string& text) override { messages.push_back(text); }
    std::string documentsFolder() override { return documents; }
    void showOpen(FileDialogState& state) override { answer(state); }
    void showSave(FileDialogState& state) override { answer(state); }

private:
    void answer(FileDialogState& state)
    {
        shown.push_back(state);
        if (!nextFileNames.empty()) {
            state.fileName = nextFileNames.front();
            nextFileNames.pop_front();
        }
    }
};

// Points libcurl's standard proxy setting at a server for the life of the
// object, and puts the old setting back afterwards.
class ProxyRoute {
public:
    explicit ProxyRoute(const std::string& proxyUrl)
    {
        if (const char* old = std::getenv("http_proxy"))
            old_ = old, hadOld_ = true;
        ::setenv("http_proxy", proxyUrl.c_str(), 1);
        ::unsetenv("no_proxy");
        ::unsetenv("NO_PROXY");
    }
    ~ProxyRoute()
    {
        if (hadOld_)
            ::setenv("http_proxy", old_.c_str(), 1);
        else
            ::unsetenv("http_proxy");
    }

private:
    std::string old_;
    bool hadOld_ = false;
};

// A window on its own simulated web, with dialogs that answer themselves.
// SetUp starts it as the program starts and then forgets what start-up said
// and fetched, so each test sees only what it did itself. `Base` is the gtest
// fixture kind (plain or with parameters).
template <class Base = ::testing::Test>
class ControllerTestOf : public Base {
protected:
    simweb::Server web;
    ProxyRoute route{web.proxyUrl()};
    RecordingDialogs dialogs;
    WindowController window{dialogs};

    void SetUp() override
    {
        window.load();
        dialogs.messages.clear();
        web.clearRequests();
    }
};
using ControllerTest = ControllerTestOf<>;

// A command's unit on its own simulated web, with nothing of the window:
// what the unit says is kept in `messages`.
class WebUnitTest : public ::testing::Test {
protected:
    simweb::Server web;
    ProxyRoute route{web.proxyUrl()};
    FetchPool engine;
    std::vector<std::string> messages;
    int lookahead = 0;

    WebAccess access() const { return {const_cast<FetchPool&>(engine), lookahead, {}}; }
};

// One rank source over `tickers`, as a ranking run takes it, on whatever
// route http_proxy names.
struct OneSourceRun {
    TickerList list;
    RankTally tally;
    std::string recorded;  // the last score recorded, as the rank button shows it
    std::vector<std::string> messages;
};
OneSourceRun rankBy(const RankSource& source, const std::vector<std::string>& tickers, int lookahead = 0);

// The tickers the price and volume filter keeps, on whatever route
// http_proxy names; what it says goes to `messages`.
std::vector<std::string> filterBy(const std::vector<std::string>& tickers, std::vector<std::string>& messages,
                                  const Limits& limits = {});

// Runs a command as a click on its button would, the button enabled first.
inline bool press(WindowController& window, Command command)
{
    window.button(command).enabled = true;
    return window.click(command);
}

// A fresh folder under the temporary directory, named from `stem`; empty when
// none could be made.
std::filesystem::path makeTempFolder(const std::string& stem);

// Removes `folder` and all in it, even where a test took its permissions away.
void removeTempFolder(const std::filesystem::path& folder);

// A file's bytes, a file written with exactly `bytes`, and the names in a
// folder in sorted order.
std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::string& bytes);
std::vector<std::string> filesIn(const std::filesystem::path& folder);

// A window on the simulated web with a folder of its own for list files,
// removed after each test.
class ListFileTest : public ControllerTest {
protected:
    std::filesystem::path folder;

    void SetUp() override
    {
        ControllerTest::SetUp();
        folder = makeTempFolder("veltrop-lists");
        ASSERT_FALSE(folder.empty());
    }
    void TearDown() override { removeTempFolder(folder); }

    // Load List and Save List, with the file dialog answered by `path`.
    void load(const std::filesystem::path& path)
    {
        dialogs.nextFileNames.push_back(path.string());
        window.loadListButton.enabled = true;
        window.click(Command::LoadList);
    }
    void save(const std::filesystem::path& path)
    {
        dialogs.nextFileNames.push_back(path.string());
        window.saveListButton.enabled = true;
        window.click(Command::SaveList);
    }

    // The ticker list as Get Lists leaves it, and as it stands now.
    void setList(const std::vector<std::string>& tickers) { window.setTickerList(tickers); }
    std::vector<std::string> tickers() const
    {
        std::vector<std::string> out;
        for (int row = 1; row <= window.tickerList().size(); ++row)
            out.push_back(window.tickerList()[row - 1].ticker);
        return out;
    }
};

// A page whose table `table` (counted from 1 in document order, after
// table - 1 small layout tables) has `headerRows` header rows and then one row
// per entry of `cells`, the entry in column `column`.
std::string listPage(int table, int headerRows, int column, const std::vector<std::string>& cells,
                     const std::string& extraAfter = {});

} // namespace veltrop::testing
