// Link resolution on the worked examples of RFC 3986, and tickers put into
// addresses.
#include "web/url.h"

#include <curl/curl.h>
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

struct Resolution {
    const char* base;
    std::string reference;
    const char* expected;
};

TEST(ResolveUrl, CasesLibcurlAloneWouldGetWrong)
{
    const std::vector<Resolution> cases = {
        // The base's fragment never carries over, and a fragment of its own
        // stays on the base's full address.
        {"https://h/x/y.html#top", "?y", "https://h/x/y.html?y"},
        {"https://h/x/y.html#top", "#end", "https://h/x/y.html#end"},
        {"https://h/x/y.html#top", "", "https://h/x/y.html"},
        // A base without a path keeps having none.
        {"http://www.example.com", "?x=1", "http://www.example.com?x=1"},
        {"http://a/b", "//other?x", "http://other?x"},
        // The slash before a query, and empty segments, stay where the
        // merge puts them.
        {"http://h/list/p1.html", "./?page=2", "http://h/list/?page=2"},
        {"http://a/b/c/d;p?q", "../?x", "http://a/b/?x"},
        {"http://a/b/c/d;p?q", ".//y", "http://a/b/c//y"},
        {"http://a//x/y", "g", "http://a//x/g"},
        {"http://a", "../../g?x", "http://a/g?x"},
        // Scheme as written, on either side.
        {"HTTP://H/a/", "g", "HTTP://H/a/g"},
        {"http://a/b", "HTTPS://X/Y/../z", "HTTPS://X/z"},
        // Addresses without "//" after the scheme are taken as they stand.
        {"http://a/b", "javascript:void(0)", "javascript:void(0)"},
        {"http://a/b", "mailto:a@b", "mailto:a@b"},
        // A colon in a later part does not make a scheme.
        {"http://a/b/c", "a?b:c", "http://a/b/a?b:c"},
        {"http://a/b/c", "d#e:f", "http://a/b/d#e:f"},
        // Quotes, backslashes and blanks in the query are escaped, a blank
        // as %20 and never as "+".
        {"http://a/b", "q?s=a b\\\"", "http://a/q?s=a%20b%5C%22"},
        {"http://a/b", "//h\xC3\xA9/x", "http://h%C3%A9/x"},
        {"http://a/b", std::string("p?\0x", 4), "http://a/p?%00x"},
    };
    for (const auto& [base, reference, expected] : cases)
        EXPECT_EQ(resolveUrl(base, reference), expected) << base << " + \"" << reference << '"';
}

TEST(ResolveUrl, OtherSchemesResolveForTheFetcherToRefuse)
{
    EXPECT_EQ(resolveUrl("http://a/b", "file:///etc/passwd"), "file:///etc/passwd");
    EXPECT_EQ(resolveUrl("http://a/b", "ftp://h/x/../y"), "ftp://h/y");
    EXPECT_EQ(resolveUrl("http://a/b", "gopher://h:70/1"), "gopher://h:70/1");
}

TEST(ResolveUrl, WhatNamesNoAddressResolvesToNothing)
{
    // An empty answer reads as "no such link" to every caller.
    for (const char* reference : {"http://h:99999/", "http://", "//a b/c", "http://[bad/x"})
        EXPECT_EQ(resolveUrl("http://a/b", reference), "") << reference;
    // An empty query or fragment counts as none.
    EXPECT_EQ(resolveUrl(rfcBase, "g?"), "http://a/b/c/g");
    EXPECT_EQ(resolveUrl(rfcBase, "g#"), "http://a/b/c/g");
}

TEST(ResolveUrl, LongHrefsAndManyLinks)
{
    const std::string ticker(10000, 'A');
    EXPECT_EQ(resolveUrl("http://h/list/p1.html", "q.asp?symb=" + ticker), "http://h/list/q.asp?symb=" + ticker);
    // One list page holds hundreds of links; each resolves on its own.
    for (int i = 0; i < 500; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_EQ(resolveUrl("http://h/list/p1.html", "../q/" + n + ".html?p=" + n),
                  "http://h/q/" + n + ".html?p=" + n);
    }
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

TEST(EncodeUrlPart, AgreesWithLibcurlOnEveryByte)
{
    for (int byte = 0; byte < 256; ++byte) {
        const std::string text(1, static_cast<char>(byte));
        char* escaped = curl_easy_escape(nullptr, text.data(), 1);
        ASSERT_NE(escaped, nullptr);
        EXPECT_EQ(encodeUrlPart(text), escaped) << "byte " << byte;
        curl_free(escaped);
    }
}

} // namespace
} // namespace veltrop
