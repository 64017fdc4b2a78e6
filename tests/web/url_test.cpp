// Link resolution on the worked examples of RFC 3986, and tickers put into
// addresses.
#include "web/url.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace veltrop {
namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;

constexpr const char* rfcBase = "http://a/b/c/d;p?q";

void expectResolved(const Cases& cases)
{
    for (const auto& [reference, expected] : cases)
        EXPECT_EQ(resolveUrl(rfcBase, reference), expected) << "reference: \"" << reference << '"';
}

TEST(ResolveUrl, NormalExamples)
{
    expectResolved({
        {"g:h", "g:h"},
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"},
        {"g;x", "http://a/b/c/g;x"},
        {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../", "http://a/"},
        {"../../g", "http://a/g"},
    });
}

TEST(ResolveUrl, AbnormalExamples)
{
    expectResolved({
        {"../../../g", "http://a/g"},
        {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g?y/../x", "http://a/b/c/g?y/../x"},
        {"g#s/./x", "http://a/b/c/g#s/./x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"http:g", "http:g"},
    });
}

TEST(ResolveUrl, PageHrefsAsBrowsersReadThem)
{
    // A host without a path, a colon inside the path, and a word before a
    // colon that is no scheme.
    EXPECT_EQ(resolveUrl("http://www.example.com", "list.html"), "http://www.example.com/list.html");
    EXPECT_EQ(resolveUrl("http://h/a/b", "c:d/e"), "c:d/e");
    EXPECT_EQ(resolveUrl("http://h/a/b", "./c:d"), "http://h/a/c:d");
    EXPECT_EQ(resolveUrl("http://h/a/b", "1x:y"), "http://h/a/1x:y");
    // Blanks around an href and line breaks inside it are dropped; blanks and
    // non-ASCII inside are encoded, an existing escape kept.
    EXPECT_EQ(resolveUrl("http://h/a/b", "  next\n.html \t"), "http://h/a/next.html");
    EXPECT_EQ(resolveUrl("http://h/a/b", "x y%20z?q=<\xC3\xA9>"), "http://h/a/x%20y%20z?q=%3C%C3%A9%3E");
    EXPECT_EQ(resolveUrl("https://h/a/b?q", "//other/p"), "https://other/p");
}

TEST(EncodeUrlPart, OrdinaryTickersPassUnchanged)
{
    for (const char* ticker : {"IBM", "BRK.B", "T-A", "abc_9~"})
        EXPECT_EQ(encodeUrlPart(ticker), ticker);
}

TEST(EncodeUrlPart, EverythingElseIsPercentEncodedInUpperCase)
{
    EXPECT_EQ(encodeUrlPart("A B"), "A%20B");
    EXPECT_EQ(encodeUrlPart("A&B=C"), "A%26B%3DC");
    EXPECT_EQ(encodeUrlPart("#1"), "%231");
    EXPECT_EQ(encodeUrlPart("50%"), "50%25");
    EXPECT_EQ(encodeUrlPart("A+B"), "A%2BB");
    EXPECT_EQ(encodeUrlPart("A/B?"), "A%2FB%3F");
    EXPECT_EQ(encodeUrlPart("N\xC3\xB6k"), "N%C3%B6k");
    EXPECT_EQ(encodeUrlPart(std::string("\0\x7F", 2)), "%00%7F");
    EXPECT_EQ(encodeUrlPart(""), "");
}

} // namespace
} // namespace veltrop
