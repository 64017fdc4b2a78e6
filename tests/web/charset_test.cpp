// Pages in the Western Windows code page or in UTF-8, declared in the header,
// in a <meta>, or not at all.
#include "web/charset.h"

#include <gtest/gtest.h>

namespace veltrop {
namespace {

TEST(DecodePage, WindowsCodePageUsesItsOwnCharactersFor0x80To0x9F)
{
    EXPECT_EQ(decodePage("\x80 \x93quoted\x94 \x99 \x9F", "text/html; charset=windows-1252"),
              "\xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x84\xA2 \xC5\xB8");
    // The code page's holes keep their control code points.
    EXPECT_EQ(decodePage("\x81\x8D", "text/html; charset=windows-1252"), "\xC2\x81\xC2\x8D");
}

TEST(DecodePage, HolesOfTheCodePageDoNotStopTheRest)
{
    EXPECT_EQ(decodePage("a\x81" "b\x8D" "c\x8F\x90" "d\x9D\x80", "text/html; charset=windows-1252"),
              "a\xC2\x81" "b\xC2\x8D" "c\xC2\x8F\xC2\x90" "d\xC2\x9D\xE2\x82\xAC");
    // An undeclared page is sniffed as the code page despite them.
    EXPECT_EQ(decodePage("\x9D" "caf\xE9", ""), "\xC2\x9D" "caf\xC3\xA9");
    // A page of nothing else: one character each, in time linear in the page.
    std::string holes;
    std::string expected;
    for (int i = 0; i < 200000; ++i) {
        holes += "\x81\x90";
        expected += "\xC2\x81\xC2\x90";
    }
    EXPECT_EQ(decodePage(holes, "text/html; charset=windows-1252"), expected);
}

TEST(DecodePage, LongPagesAndNulBytesInTheCodePage)
{
    // Far past any one buffer of the converter.
    std::string page;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        page += "<td>\x80" "1,234.5\xA0%</td>";
        expected += "<td>\xE2\x82\xAC" "1,234.5\xC2\xA0%</td>";
    }
    EXPECT_EQ(decodePage(page, ""), expected);
    EXPECT_EQ(decodePage(std::string("a\0\xE9\0", 4), "text/html; charset=cp1252"),
              std::string("a\0\xC3\xA9\0", 5));
}

TEST(DecodePage, LatinOneIsReadAsTheWindowsCodePage)
{
    EXPECT_EQ(decodePage("caf\xE9 \xA0 \x96", "text/html; charset=ISO-8859-1"),
              "caf\xC3\xA9 \xC2\xA0 \xE2\x80\x93");
    EXPECT_EQ(decodePage("\xE9", "text/html;charset=\"latin1\""), "\xC3\xA9");
}

TEST(DecodePage, MetaDeclarationsNearTheTopCount)
{
    EXPECT_EQ(decodePage("<html><head><meta charset=\"windows-1252\"></head>\xE9", "text/html"),
              "<html><head><meta charset=\"windows-1252\"></head>\xC3\xA9");
    EXPECT_EQ(decodePage("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-1\">\xE9", ""),
              "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-1\">\xC3\xA9");
    // UTF-8 bytes of a page that says it is Latin-1 are read as Latin-1.
    EXPECT_EQ(decodePage("<meta charset=latin1>\xC3\xA9", ""), "<meta charset=latin1>\xC3\x83\xC2\xA9");
    // A declaration inside a comment, or past the first 1024 bytes, does not.
    EXPECT_EQ(decodePage("<!-- <meta charset=latin1> -->\xC3\xA9", ""), "<!-- <meta charset=latin1> -->\xC3\xA9");
    const std::string late = std::string(1100, ' ') + "<meta charset=latin1>\xC3\xA9";
    EXPECT_EQ(decodePage(late, ""), late);
}

TEST(DecodePage, HeaderCharsetWinsOverMeta)
{
    EXPECT_EQ(decodePage("<meta charset=utf-8>\xE9", "text/html; charset=windows-1252"),
              "<meta charset=utf-8>\xC3\xA9");
    EXPECT_EQ(decodePage("<meta charset=windows-1252>\xC3\xA9", "text/html; charset=UTF-8"),
              "<meta charset=windows-1252>\xC3\xA9");
}

TEST(DecodePage, UndeclaredPagesAreSniffed)
{
    EXPECT_EQ(decodePage("caf\xC3\xA9", "text/html"), "caf\xC3\xA9");
    EXPECT_EQ(decodePage("caf\xE9", "text/html"), "caf\xC3\xA9");
    // An unknown label counts as none.
    EXPECT_EQ(decodePage("caf\xE9", "text/html; charset=x-unknown"), "caf\xC3\xA9");
    // A byte order mark wins over everything and is dropped.
    EXPECT_EQ(decodePage("\xEF\xBB\xBF\xC3\xA9", "text/html; charset=windows-1252"), "\xC3\xA9");
}

TEST(DecodePage, BrokenUtf8BecomesReplacementCharacters)
{
    // A stray continuation byte, an overlong form and an encoded surrogate.
    EXPECT_EQ(decodePage("a\x80" "b\xC0\xAF" "c\xED\xA0\x80", "text/html; charset=utf-8"),
              "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    // A sequence cut off at the end of the page.
    EXPECT_EQ(decodePage("ok\xE2\x82", "text/html; charset=utf-8"), "ok\xEF\xBF\xBD\xEF\xBF\xBD");
}

} // namespace
} // namespace veltrop
