#pragma once
// Shared pieces of the logic tests: dialogs that answer themselves, and the
// simulated web as the route of every page.
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/controls.h"
#include "tools/simweb/server.h"

namespace veltrop::testing {

class RecordingDialogs : public Dialogs {
public:
    std::vector<std::string> messages;
    std::deque<std::string> nextFileNames;  // empty: the dialog is cancelled
    std::vector<FileDialogState> shown;

    void message(const std::string& text) override { messages.push_back(text); }
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

// A page whose table `table` (counted from 1 in document order, after
// table - 1 small layout tables) has `headerRows` header rows and then one row
// per entry of `cells`, the entry in column `column`.
std::string listPage(int table, int headerRows, int column, const std::vector<std::string>& cells,
                     const std::string& extraAfter = {});

} // namespace veltrop::testing
