// The interpretive-text page of the report site.
#include <gtest/gtest.h>

#include "tools/simweb/market.h"
#include "tools/simweb/opinionmodel.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/sites.h"
#include "web/pageindex.h"

using simweb::Market;

namespace {

const std::string reportQuery = "Report=Telescan_Rankings&IntText=Normal&Symbol=";

simweb::Page reportPage(const std::string& symbol)
{
    return simweb::sitePage(veltrop::hosts::telescan, simweb::kOpinionPath, reportQuery + symbol);
}

// What the page reader finds between the markers.
std::string between(const simweb::Page& page)
{
    auto index = veltrop::PageIndex::build(page.body, "http://www.telescan.com/");
    return index ? index->textBetween("Snapshot", "The above report") : "<refused>";
}

TEST(OpinionPage, AReportLiesBetweenTheMarkersAsTheModelSaysAndStaysTheSame)
{
    ASSERT_TRUE(simweb::hasOpinionReport("IBM"));
    const simweb::Page page = reportPage("IBM");
    EXPECT_EQ(page.status, 200);
    const std::vector<std::string> paragraphs = simweb::opinionParagraphs("IBM");
    EXPECT_GE(paragraphs.size(), 3u);
    EXPECT_LE(paragraphs.size(), 5u);
    EXPECT_EQ(between(page), simweb::opinionReportText("IBM"));
    EXPECT_NE(simweb::opinionReportText("IBM").find(Market::companyName("IBM")), std::string::npos);
    EXPECT_EQ(reportPage("IBM").body, page.body);
}

TEST(OpinionPage, EveryReportOfTheUniverseReadsBackAndSomeTickersHaveNone)
{
    std::size_t withReport = 0;
    for (const std::string& ticker : Market::instance().universe()) {
        const bool has = simweb::hasOpinionReport(ticker);
        withReport += has;
        const simweb::Page page = reportPage(ticker);
        EXPECT_EQ(page.status, 200) << ticker;
        EXPECT_EQ(between(page), simweb::opinionReportText(ticker)) << ticker;
        EXPECT_EQ(page.body.find("Snapshot") != std::string::npos, has) << ticker;
    }
    const double share = double(withReport) / double(Market::instance().universe().size());
    EXPECT_GT(share, 0.7);
    EXPECT_LT(share, 0.95);
}

TEST(OpinionPage, LetterCaseIsIgnoredButAnythingElseFindsNoReport)
{
    EXPECT_EQ(between(reportPage("ibm")), simweb::opinionReportText("IBM"));
    EXPECT_EQ(simweb::opinionReportText("ibm"), simweb::opinionReportText("IBM"));
    for (const std::string& odd : {std::string("%20ibm%20"), std::string(""), std::string("IBM%26X%3D1"),
                                   std::string("TOOLONG")}) {
        const simweb::Page page = reportPage(odd);
        EXPECT_EQ(page.status, 200) << odd;
        EXPECT_EQ(page.body.find("Snapshot"), std::string::npos) << odd;
        EXPECT_EQ(page.body.find("The above report"), std::string::npos) << odd;
        EXPECT_NE(page.body.find("No interpretive text"), std::string::npos) << odd;
    }
    EXPECT_FALSE(simweb::hasOpinionReport(" IBM "));
    EXPECT_TRUE(simweb::opinionParagraphs(" IBM ").empty());
}

TEST(OpinionPage, OnlyTheReportAddressOfTheReportSiteIsThisPage)
{
    EXPECT_FALSE(simweb::opinionPage(veltrop::hosts::zacks, simweb::kOpinionPath, reportQuery + "IBM"));
    EXPECT_FALSE(simweb::opinionPage(veltrop::hosts::telescan, "/wsc2/Other", reportQuery + "IBM"));
    EXPECT_EQ(simweb::sitePage(veltrop::hosts::telescan, "/wsc2/interpretive_text", reportQuery + "IBM").status,
              404);
}

} // namespace
