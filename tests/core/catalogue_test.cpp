// Reading a catalogue: what it says, and every way it can be wrong, each
// reported at its line and column.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "domain/catalogue.h"

using namespace veltrop;

namespace {

const std::string head = "format = 1\n";
// A rank entry whose value is found by `locator` (one line).
std::string rank(const std::string& locator, const std::string& url = "http://r.example/q?s={ticker}")
{
    return "[[rank]]\nname = \"r\"\ncaption = \"R\"\nurl = \"" + url + "\"\n" + locator + "\n";
}

struct ErrorRow {
    const char* what;
    std::string text;
    std::vector<std::string> errors;
};

TEST(Catalogue, EveryFaultIsNamedWithItsLineAndColumn)
{
    const ErrorRow rows[] = {
        {"empty", "", {"c.toml:1:1: missing key \"format\": the catalogue's first line is format = 1"}},
        {"another format", "format = 2\n", {"c.toml:1:10: \"format\" must be 1, the only format there is"}},
        {"not TOML", "format = = 1\n", {"c.toml:1:10: Error while parsing value: could not determine value type"}},
        {"unknown key", head + "colour = 3\n", {"c.toml:2:1: unknown key \"colour\" in the catalogue"}},
        {"unknown key in an entry", head + rank("cell = [1, 2, 3]\ncolumn = 4"),
         {"c.toml:7:1: unknown key \"column\" in [[rank]]"}},
        {"wrong type", head + "[[host]]\nname = \"h\"\nconnections = \"six\"\n",
         {"c.toml:4:15: \"connections\" must be an integer, not a string"}},
        {"out of range", head + "[[host]]\nname = \"h\"\nconnections = 33\ninterval_ms = -1\n",
         {"c.toml:4:15: \"connections\" must be from 1 to 32, not 33",
          "c.toml:5:15: \"interval_ms\" must be from 0 to 60000, not -1"}},
        {"missing keys", head + "[[list]]\nname = \"l\"\n",
         {"c.toml:2:1: missing key \"caption\" in [[list]]", "c.toml:2:1: missing key \"url\" in [[list]]",
          "c.toml:2:1: missing key \"tickers\" in [[list]]"}},
        {"no {ticker}", head + rank("cell = [1, 2, 3]", "http://r.example/q"),
         {"c.toml:5:1: \"url\" of [[rank]] has no {ticker}: \"http://r.example/q\""}},
        {"another scheme", head + rank("cell = [1, 2, 3]", "ftp://r.example/{ticker}"),
         {"c.toml:5:1: \"url\" must start with http:// or https://: \"ftp://r.example/{ticker}\""}},
        {"a cell of two", head + rank("cell = [1, 2]"),
         {"c.toml:6:8: \"cell\" must be [table, row, column], three numbers from 1"}},
        {"no locator", head + rank(""),
         {"c.toml:2:1: [[rank]] says how its value is found with one of cell, between, regex, json, xpath or reader"}},
        {"two locators", head + rank("cell = [1, 2, 3]\nregex = \"(x)\""),
         {"c.toml:2:1: [[rank]] has both \"cell\" and \"regex\"; it takes one way to find its value"}},
        {"regex without a group", head + rank("regex = \"a+\""),
         {"c.toml:6:9: the pattern \"a+\" must have one capture group, not 0"}},
        {"regex with two", head + rank("regex = \"(a)(b)\""),
         {"c.toml:6:9: the pattern \"(a)(b)\" must have one capture group, not 2"}},
        {"regex that does not compile", head + rank("regex = \"(a\""),
         {"c.toml:6:9: the pattern \"(a\" does not compile: missing ): (a"}},
        {"XPath that does not compile", head + rank("xpath = \"//td[\""),
         {"c.toml:6:9: the XPath \"//td[\" does not compile"}},
        {"not a JSON pointer", head + rank("json = \"a/b\""),
         {"c.toml:6:8: the JSON pointer \"a/b\" is not one: it is empty or starts with \"/\", and \"~\" stands "
          "only before 0 or 1"}},
        {"unknown reader", head + rank("reader = \"moon-phase\""),
         {"c.toml:6:10: no reader is called \"moon-phase\"; the readers are days-since-news, rank-change, "
          "fund-count, guru-average, smartselect, broker"}},
        {"grades on a reader", head + rank("reader = \"broker\"\ngrades = { Buy = 1 }"),
         {"c.toml:7:10: \"grades\" apply to a value a locator finds, not to a reader's points"}},
        {"one name twice", head + rank("cell = [1, 2, 3]") + rank("cell = [1, 2, 3]"),
         {"c.toml:8:1: two entries are named \"r\"; the first is on line 3"}},
        {"markers not two", head + "[opinion]\nurl = \"http://o.example/{ticker}\"\nbetween = [\"a\"]\n",
         {"c.toml:4:11: \"between\" must be two texts, the start marker and the end marker"}},
        {"quotes without {tickers}",
         head + "[quotes]\nurl = \"http://q.example/\"\ntable = 1\nfirst_row = 1\nsymbol = 1\nprice = 2\nvolume = 3\n",
         {"c.toml:3:1: \"url\" of [quotes] has no {tickers}: \"http://q.example/\""}},
        {"not UTF-8", head + "user_agent = \"\xff\"\n", {"c.toml:2:14: Encountered invalid utf-8 sequence"}},
        {"over 1 MB", head + "# " + std::string(1 << 20, 'x') + "\n",
         {"c.toml:1:1: the catalogue is over 1 MB; it is not read"}},
    };
    for (const ErrorRow& row : rows) {
        SCOPED_TRACE(row.what);
        const CatalogueResult read = readCatalogue(row.text, "c.toml");
        EXPECT_FALSE(read.catalogue);
        EXPECT_EQ(read.errors, row.errors);
    }
}

TEST(Catalogue, DeepNestingIsRefusedNotFollowed)
{
    const std::string deep = head + "x = " + std::string(100000, '[') + std::string(100000, ']') + "\n";
    const CatalogueResult read = readCatalogue(deep, "c.toml");
    EXPECT_FALSE(read.catalogue);
    ASSERT_EQ(read.errors.size(), 1u);
}

TEST(Catalogue, AnEntryGivesWhatItSays)
{
    const std::string text = head + "user_agent = \"Mine/2\"\n" +
                             "[[list]]\nname = \"l\"\ncaption = \"L\"\nurl = \"https://l.example/a\"\n"
                             "tickers = { table = 3, row = 0, column = 2 }\n"
                             "next = { table = 4, row = 1, column = 1, text = \"More\" }\n" +
                             rank("between = [\"Rank:\", \"<\"]\nno_data = \"No such symbol\"\n"
                                  "grades = { \"Strong Buy\" = 100, Sell = -5 }") +
                             "[[rank]]\nname = \"j\"\ncaption = \"J\"\nurl = \"http://j.example/{ticker}.json\"\n"
                             "json = \"/data/0/score\"\n"
                             "[[host]]\nname = \"j.example\"\nconnections = 2\ninterval_ms = 250\n";
    const CatalogueResult read = readCatalogue(text, "c.toml");
    ASSERT_TRUE(read.catalogue) << (read.errors.empty() ? "" : read.errors[0]);
    const Catalogue& c = *read.catalogue;
    EXPECT_EQ(c.userAgent, "Mine/2");
    ASSERT_EQ(c.lists.size(), 1u);
    EXPECT_EQ(c.lists[0].url, "https://l.example/a");
    EXPECT_EQ(c.lists[0].step, 1) << "one row at a time unless said";
    ASSERT_TRUE(c.lists[0].next);
    EXPECT_EQ(c.lists[0].next->text, "More");
    ASSERT_EQ(c.ranks.size(), 2u);
    EXPECT_EQ(c.ranks[0].locator, (Locator{Locator::Kind::Between, {}, "Rank:", "<"}));
    EXPECT_EQ(c.ranks[0].noData, "No such symbol");
    EXPECT_EQ(c.ranks[0].grades.size(), 2u);
    EXPECT_EQ(c.ranks[1].locator, (Locator{Locator::Kind::JsonPointer, {}, "/data/0/score", ""}));
    ASSERT_EQ(c.hosts.size(), 1u);
    EXPECT_EQ(c.hosts[0].connections, 2);
    EXPECT_EQ(c.hosts[0].intervalMs, 250);
    EXPECT_FALSE(c.quotes) << "a user's catalogue may leave the quote page as it is";
}

TEST(Catalogue, TheBuiltInOneReadsCleanAndEveryReaderIsUsed)
{
    const CatalogueResult read = readCatalogue(builtinCatalogueText(), "sources.toml");
    ASSERT_EQ(read.errors, std::vector<std::string>{});
    const Catalogue& c = builtinCatalogue();
    EXPECT_EQ(c.lists.size(), 13u);
    EXPECT_EQ(c.ranks.size(), 17u);
    EXPECT_EQ(c.userAgent, "PellamysVeltrop/1.4");
    for (std::string_view reader : builtinReaderNames())
        EXPECT_TRUE(std::any_of(c.ranks.begin(), c.ranks.end(), [&](const RankEntry& e) {
            return e.locator.kind == Locator::Kind::Reader && e.locator.text == reader;
        })) << reader;
}

TEST(Catalogue, AFileIsNamedInItsErrorsAndAMissingOneSaysSo)
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "veltrop-catalogue-test.toml";
    std::ofstream(path) << "format = 1\nfoo = 1\n";
    EXPECT_EQ(readCatalogueFile(path.string()).errors,
              std::vector<std::string>{path.string() + ":2:1: unknown key \"foo\" in the catalogue"});
    std::filesystem::remove(path);
    EXPECT_EQ(readCatalogueFile(path.string()).errors, std::vector<std::string>{path.string() + ":1:1: cannot be read"});
}

} // namespace
