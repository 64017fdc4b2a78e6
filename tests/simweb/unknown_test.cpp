// The simulated web answers only the addresses its sites have: a list or
// rank page asked for with a query the site does not know is not found, so
// a program that sends a wrong query fails its tests instead of being served.
#include <gtest/gtest.h>

#include <string>

#include "client.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/server.h"
#include "tools/simweb/sites.h"

namespace hosts = veltrop::hosts;

namespace {

struct Address {
    const char* host;
    const char* path;
    const char* query;
    int status;
};

const std::string drill = "/cgi-bin/drill_event";
const std::string realtime = "/analysis/realtime/realtime.asp";
const std::string cnetList = "/investor/brokeragecenter/top-momentum/0-9910-1078-0-1.html";

const Address listAddresses[] = {
    // The queries the lists are published under.
    {hosts::clearstation, drill.c_str(), "Event=BreakOut", 200},
    {hosts::clearstation, drill.c_str(), "Event=macdBAfollow_w", 200},
    {hosts::clearstation, drill.c_str(), "Event=V", 200},
    {hosts::clearstation, drill.c_str(), "Event=macdBAfollow_m", 200},
    {hosts::clearstation, drill.c_str(), "Event=P", 200},
    {hosts::clearstation, drill.c_str(), "Event=BreakOut&Page=2", 200},
    {hosts::clearstation, drill.c_str(), "Page=2&Event=BreakOut", 200},
    {hosts::nasdaq, "/dynamic/nasdaq100_activity.stm", "", 200},
    {hosts::wallstreettape, realtime.c_str(), "id=initiated", 200},
    {hosts::wallstreettape, realtime.c_str(), "id=psurprise", 200},
    {hosts::cnetInvestor, cnetList.c_str(), "tag=tmtm", 200},
    {hosts::upside, "/texis/mvm/stocktools/upside150", "", 200},
    {hosts::barchart, "/sigtop.htx", "start=all", 200},
    {hosts::barchart, "/sectors.asp", "sec=top~100~stocks.sec", 200},
    {hosts::standardPoors, "/indexmainglobal500_data.html", "", 200},
    // Anything else.
    {hosts::clearstation, drill.c_str(), "Event=Unknown", 404},
    {hosts::clearstation, drill.c_str(), "", 404},
    {hosts::clearstation, drill.c_str(), "event=BreakOut", 404},
    {hosts::clearstation, drill.c_str(), "Event=BreakOut&x=1", 404},
    {hosts::clearstation, drill.c_str(), "Event=BreakOut&Event=V", 404},
    {hosts::nasdaq, "/dynamic/nasdaq100_activity.stm", "x=1", 404},
    {hosts::wallstreettape, realtime.c_str(), "id=surprise", 404},
    {hosts::wallstreettape, realtime.c_str(), "id=initiated&Page=2", 404},
    {hosts::cnetInvestor, cnetList.c_str(), "", 404},
    {hosts::cnetInvestor, cnetList.c_str(), "tag=tmtm2", 404},
    {hosts::upside, "/texis/mvm/stocktools/upside150", "Page=2", 404},
    {hosts::barchart, "/sigtop.htx", "", 404},
    {hosts::barchart, "/sigtop.htx", "start=some", 404},
    {hosts::barchart, "/sectors.asp", "sec=top%7E100%7Estocks.sec", 404},
    {hosts::barchart, "/sectors.asp", "sec=top~100~stocks", 404},
    {hosts::standardPoors, "/indexmainglobal500_data.html", "all=1", 404},
};

const std::string telescan = "/wsc2/Tscn_Rankings.html";
const std::string forbes = "/finance/mktguideapps/compinfo/CoInFundHold.jhtml";
const std::string cnetRank = "/investor/brokeragecenter/momentum-rating-single-company/0-9910-1087-0-IBM.html";

const Address rankAddresses[] = {
    {hosts::cnetInvestor, cnetRank.c_str(), "", 200},
    {hosts::marketwatch, "/tools/quotes/news.asp", "symb=IBM", 200},
    {hosts::telescan, telescan.c_str(), "template=tscnrank.htm&Button=Get+Report&Symbol=IBM", 200},
    {hosts::barchart, "/performance.htx", "sym=IBM", 200},
    {hosts::barchart, "/texpert.asp", "sym=IBM", 200},
    {hosts::forbes, forbes.c_str(), "tkr=IBM", 200},
    {hosts::forbes, forbes.c_str(), "tkr=IBM&page=2", 200},
    {hosts::validea, "/stocks/guruanalysis.asp", "ticker=IBM", 200},
    {hosts::ibd, "/SmartSelect/SmartSelect.asp", "x=I2B1M1", 200},
    {hosts::zacks, "/reports/reports.php3", "HLITE1=6699BC&HLITE2=DEDEC5&ticker=IBM&session=TMP.QORVENT&type=20", 200},
    // Missing, wrong or unknown parts.
    {hosts::cnetInvestor, cnetRank.c_str(), "x=1", 404},
    {hosts::marketwatch, "/tools/quotes/news.asp", "", 404},
    {hosts::marketwatch, "/tools/quotes/news.asp", "symb=IBM&x=1", 404},
    {hosts::marketwatch, "/tools/quotes/news.asp", "sym=IBM", 404},
    {hosts::telescan, telescan.c_str(), "template=tscnrank.htm&Symbol=IBM", 404},
    {hosts::telescan, telescan.c_str(), "template=other.htm&Button=Get+Report&Symbol=IBM", 404},
    {hosts::telescan, telescan.c_str(), "template=tscnrank.htm&Button=Get+Report&Symbol=IBM&Page=2", 404},
    {hosts::barchart, "/performance.htx", "sym=IBM&sym2=MSFT", 404},
    {hosts::barchart, "/texpert.asp", "symbol=IBM", 404},
    {hosts::forbes, forbes.c_str(), "tkr=IBM&pages=2", 404},
    {hosts::validea, "/stocks/guruanalysis.asp", "ticker=IBM&guru=all", 404},
    {hosts::ibd, "/SmartSelect/SmartSelect.asp", "x=I2B1M1&y=1", 404},
    {hosts::zacks, "/reports/reports.php3", "HLITE1=6699BC&HLITE2=DEDEC5&ticker=IBM&type=20", 404},
    {hosts::zacks, "/reports/reports.php3", "HLITE1=6699BC&HLITE2=DEDEC5&ticker=IBM&session=TMP.QORVENT&type=21", 404},
    {hosts::zacks, "/reports/reports.php3",
     "HLITE1=6699BC&HLITE2=DEDEC5&ticker=IBM&session=TMP.QORVENT&type=20&HLITE3=1", 404},
};

void expectStatuses(const Address* begin, const Address* end)
{
    for (const Address* a = begin; a != end; ++a) {
        SCOPED_TRACE(std::string(a->host) + a->path + "?" + a->query);
        EXPECT_EQ(simweb::sitePage(a->host, a->path, a->query).status, a->status);
    }
}

TEST(UnknownQueries, ListPagesAnswerOnlyTheQueriesTheyArePublishedUnder)
{
    expectStatuses(std::begin(listAddresses), std::end(listAddresses));
}

TEST(UnknownQueries, RankPagesAnswerOnlyTheirOwnQueryParts)
{
    expectStatuses(std::begin(rankAddresses), std::end(rankAddresses));
}

TEST(UnknownQueries, TheServerAnswersThemNotFound)
{
    simweb::Server server;
    const auto statusOf = [&](const std::string& url) { return simtest::get(server.port(), url).status(); };
    EXPECT_EQ(statusOf(std::string("http://") + hosts::barchart + "/sectors.asp?sec=top~100~stocks.sec"), 200);
    EXPECT_EQ(statusOf(std::string("http://") + hosts::barchart + "/sectors.asp?sec=top~100~stocks.sec&x=1"), 404);
    EXPECT_EQ(statusOf(std::string("http://") + hosts::marketwatch + "/tools/quotes/news.asp?symb=IBM"), 200);
    EXPECT_EQ(statusOf(std::string("http://") + hosts::marketwatch + "/tools/quotes/news.asp?symb=IBM&a=b"), 404);
}

} // namespace
