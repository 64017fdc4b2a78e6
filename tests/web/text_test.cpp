#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "web/text.h"

using namespace veltrop;

namespace {

struct NumberRow {
    const char* text;
    double value;
};

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfAText)
{
    const NumberRow rows[] = {
        {"12,345", 12},        {"1 000", 1000},      {"$5", 0},          {"-3.5 points", -3.5},
        {" 7", 7},             {"12abc", 12},        {"", 0},            {"abc", 0},
        {"2.5", 2.5},          {"0.6", 0.6},         {".5", 0.5},        {"-.25", -0.25},
        {"+8", 8},             {"-", 0},             {"+.", 0},          {"1E3", 1000},
        {"1e-2x", 0.01},       {"2D2", 200},         {"3E", 3},          {"3E+", 3},
        {"\t-\n4 2", -42},     {"5.", 5},            {"1.2.3", 1.2},     {"50,000,001", 50},
        {"30,000", 30},        {"n/a", 0},           {"  \n ", 0},       {"1 . 5", 1.5},
    };
    for (const NumberRow& row : rows)
        EXPECT_DOUBLE_EQ(leadingNumber(row.text), row.value) << "text: \"" << row.text << "\"";
}

TEST(LeadingNumber, HugeExponentsDoNotTrap)
{
    EXPECT_GT(leadingNumber("1e400"), 1e308);
    EXPECT_EQ(leadingNumber("1e-400"), 0.0);
}

TEST(WholeNumbers, FloorGoesTowardsMinusInfinity)
{
    EXPECT_EQ(floorWhole(12.9), 12);
    EXPECT_EQ(floorWhole(-0.5), -1);
    EXPECT_EQ(floorWhole(4.67), 4);
    EXPECT_EQ(floorWhole(-4.0), -4);
}

TEST(WholeNumbers, ConversionRoundsHalfToEven)
{
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(0.6), 1);
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(-2.6), -3);
    EXPECT_EQ(roundHalfEven(600), 600);
}

TEST(WholeNumbers, OutOfRangeValuesSaturateInsteadOfWrapping)
{
    EXPECT_EQ(roundHalfEven(1e30), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(roundHalfEven(-1e30), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(floorWhole(1e300), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(roundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(TextTests, PhraseSearchIgnoresCase)
{
    EXPECT_TRUE(containsPhrase("NO MATCHING SYMBOLS", "No Matching"));
    EXPECT_TRUE(containsPhrase("go to next page >>", "Next Page"));
    EXPECT_TRUE(containsPhrase("abc", ""));
    EXPECT_FALSE(containsPhrase("Next Pag", "Next Page"));
    EXPECT_FALSE(containsPhrase("", "x"));
}

TEST(TextTests, ExactMatchTrimsBlanksButKeepsCase)
{
    EXPECT_TRUE(exactMatch(" Buy ", "Buy"));
    EXPECT_FALSE(exactMatch("buy", "Buy"));
    EXPECT_FALSE(exactMatch("Buy\t", "Buy"));  // only blanks are trimmed
    EXPECT_TRUE(exactMatch("Strong Sell", "Strong Sell"));
}

TEST(TextTests, CountCaptionLeavesRoomForTheSign)
{
    EXPECT_EQ(countCaption(37, " tickers found"), " 37 tickers found");
    EXPECT_EQ(countCaption(1, " tickers found"), " 1 tickers found");
    EXPECT_EQ(countCaption(0, " tickers ranked"), " 0 tickers ranked");
    EXPECT_EQ(countCaption(-4, " x"), "-4 x");
}

TEST(TextTests, TrimAndUpperCase)
{
    EXPECT_EQ(trimBlanks("  ibm "), "ibm");
    EXPECT_EQ(trimBlanks("   "), "");
    EXPECT_EQ(toUpperAscii("brk.b Intc"), "BRK.B INTC");
}

} // namespace
