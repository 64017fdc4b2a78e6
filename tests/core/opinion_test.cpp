// Opinion: the report for the ticker of the grid's current cell, against the
// simulated report site.
#include <gtest/gtest.h>

#include "app/windowcontroller.h"
#include "testsupport.h"
#include "tools/simweb/market.h"
#include "tools/simweb/opinionmodel.h"
#include "tools/simweb/sites.h"

using namespace veltrop;
using veltrop::testing::press;
using veltrop::testing::ProxyRoute;
using veltrop::testing::RecordingDialogs;

namespace {

const std::string reportAddress = std::string("http://") + hosts::telescan
    + "/wsc2/Interpretive_Text?Report=Telescan_Rankings&IntText=Normal&Symbol=";

// Notes what the status label said whenever a message showed.
class StatusDialogs : public RecordingDialogs {
public:
    const Label* status = nullptr;
    std::vector<std::string> statusAtMessage;
    void message(const std::string& text) override
    {
        RecordingDialogs::message(text);
        statusAtMessage.push_back(status ? status->caption : "");
    }
};

class Opinion : public ::testing::Test {
protected:
    simweb::Server web;
    ProxyRoute route{web.proxyUrl()};
    StatusDialogs dialogs;
    WindowController window{dialogs};
    std::vector<std::string> statusWhileWaiting;

    void SetUp() override
    {
        dialogs.status = &window.statusLabel;
        window.setTurnHook([this] {
            if (statusWhileWaiting.empty() || statusWhileWaiting.back() != window.statusLabel.caption)
                statusWhileWaiting.push_back(window.statusLabel.caption);
        });
        window.load();
        dialogs.messages.clear();
        dialogs.statusAtMessage.clear();
        web.clearRequests();
        statusWhileWaiting.clear();
    }

    // A ranked grid with `ticker` in row 1, that cell current, as after a
    // click on it.
    void clickTickerCell(const std::string& ticker)
    {
        window.resultsGrid.showRanked({{ticker, 1, 1}, {"ZZZ", 1, 1}}, window.programFolder());
        window.resultsGrid.setCurrent(1, 0);
        window.opinionButton.enabled = true;
    }

    std::string opinion()
    {
        press(window, Command::Opinion);
        return window.opinionBox.text;
    }
};

TEST_F(Opinion, TheReportOfTheClickedTickerReplacesTheBox)
{
    ASSERT_TRUE(simweb::hasOpinionReport("IBM"));
    window.opinionBox.text = "an older report";
    clickTickerCell("IBM");
    web.setLatency(150);
    EXPECT_EQ(opinion(), simweb::opinionReportText("IBM"));
    EXPECT_EQ(web.requests(), std::vector<std::string>{reportAddress + "IBM"});
    EXPECT_EQ(window.opinionTicker(), "IBM");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(statusWhileWaiting, std::vector<std::string>{"Getting opinion..."});
    EXPECT_EQ(window.statusLabel.caption, "Idle...");
}

TEST_F(Opinion, TheCellIsSentAsItHoldsIt)
{
    struct Case {
        std::string cell;
        std::string sent;
        std::string report;  // the ticker whose report shows; empty: none
    };
    const std::vector<Case> cases = {
        {"ibm", "ibm", "IBM"},
        {" ibm ", "%20ibm%20", ""},
        {"BRK.B", "BRK.B", "BRK.B"},
        {"T-A", "T-A", "T-A"},
        {"IBM&Symbol=MSFT", "IBM%26Symbol%3DMSFT", ""},
        {"\xC3\x89T\xC3\x89", "%C3%89T%C3%89", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell);
        web.clearRequests();
        clickTickerCell(c.cell);
        const std::string shown = opinion();
        EXPECT_EQ(web.requests(), std::vector<std::string>{reportAddress + c.sent});
        EXPECT_EQ(window.opinionTicker(), c.cell);
        if (c.report.empty() || !simweb::hasOpinionReport(c.report)) {
            EXPECT_EQ(shown, "None found");
        } else {
            EXPECT_EQ(shown, simweb::opinionReportText(c.report));
        }
        EXPECT_EQ(window.statusLabel.caption, "Idle...");
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Opinion, ThePictureCellAfterARunAsksForATicker)
{
    clickTickerCell("IBM");
    window.resultsGrid.setCurrent(1, 1);
    window.opinionBox.text = "kept";
    EXPECT_EQ(opinion(), "kept");
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"Select a ticker and try again."});
    EXPECT_EQ(dialogs.statusAtMessage, std::vector<std::string>{"Getting opinion..."});
    EXPECT_TRUE(web.requests().empty());
    EXPECT_EQ(window.opinionTicker(), "");
    EXPECT_EQ(window.statusLabel.caption, "Idle...");
}

TEST_F(Opinion, APageWithoutTheMarkersGivesNoneFound)
{
    std::string without;
    for (const std::string& ticker : simweb::Market::instance().universe()) {
        if (!simweb::hasOpinionReport(ticker)) {
            without = ticker;
            break;
        }
    }
    ASSERT_FALSE(without.empty());
    window.opinionBox.text = "an older report";
    clickTickerCell(without);
    web.setLatency(150);
    EXPECT_EQ(opinion(), "None found");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(statusWhileWaiting, std::vector<std::string>{"Getting opinion..."});
    EXPECT_EQ(window.statusLabel.caption, "Idle...");

    // A page of this address with the markers the wrong way round says the same.
    web.setPage(reportAddress + "IBM", "<P>The above report</P><P>Snapshot</P>");
    clickTickerCell("IBM");
    EXPECT_EQ(opinion(), "None found");
}

TEST_F(Opinion, AFailedOpenKeepsThePreviousReportAndSaysNothing)
{
    clickTickerCell("IBM");
    const std::string report = opinion();
    ASSERT_EQ(report, simweb::opinionReportText("IBM"));
    for (simweb::Fault fault : {simweb::Fault::NotFound, simweb::Fault::ServerError, simweb::Fault::Drop,
                                simweb::Fault::Truncate}) {
        SCOPED_TRACE(int(fault));
        web.setFault(reportAddress, fault);
        web.setLatency(150);
        statusWhileWaiting.clear();
        EXPECT_EQ(opinion(), report);
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(statusWhileWaiting, std::vector<std::string>{"Getting opinion..."});
        EXPECT_EQ(window.statusLabel.caption, "Idle...");
    }
}

} // namespace
