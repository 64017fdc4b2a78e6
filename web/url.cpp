#include "web/url.h"

#include <curl/curl.h>

#include <memory>
#include <optional>

namespace veltrop {
namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

void appendEncoded(std::string& out, unsigned char byte)
{
    out += '%';
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0x0F];
}

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Length of the scheme an address starts with ("http" of "http://h/"), 0 when
// it has none. libcurl also takes a word that starts with a digit ("1x:y") for
// a scheme, so the test is made here.
std::size_t schemeLength(std::string_view url)
{
    if (url.empty() || !isAsciiAlpha(url.front()))
        return 0;
    for (std::size_t i = 1; i < url.size(); ++i) {
        const char c = url[i];
        if (c == ':')
            return i;
        if (!isAsciiAlpha(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

// True for "http://host" and "//host?q": an authority and no path after it.
bool hasAuthorityButNoPath(std::string_view url)
{
    if (auto scheme = schemeLength(url))
        url.remove_prefix(scheme + 1);
    if (!url.starts_with("//"))
        return false;
    auto end = url.find_first_of("/?#", 2);
    return end == std::string_view::npos || url[end] != '/';
}

std::string cleanReference(std::string_view reference)
{
    auto isEdge = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!reference.empty() && isEdge(reference.front()))
        reference.remove_prefix(1);
    while (!reference.empty() && isEdge(reference.back()))
        reference.remove_suffix(1);
    std::string cleaned;
    cleaned.reserve(reference.size());
    for (char c : reference) {
        if (c != '\t' && c != '\n' && c != '\r')
            cleaned += c;
    }
    return cleaned;
}

// Escapes what an address cannot carry as it is. libcurl would escape blanks
// and non-ASCII itself, but in lower-case hex and with a blank in the query
// turned into "+", which a server reads as a plus sign; so nothing of that is
// left for it to do.
std::string escapeUnsafe(std::string_view url)
{
    std::string out;
    out.reserve(url.size());
    for (char c : url) {
        auto byte = static_cast<unsigned char>(c);
        bool unsafe = byte <= 0x20 || byte >= 0x7F || c == '"' || c == '<' || c == '>'
            || c == '`' || c == '{' || c == '}' || c == '|' || c == '\\' || c == '^';
        if (unsafe)
            appendEncoded(out, byte);
        else
            out += c;
    }
    return out;
}

using UrlHandle = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

// Any scheme is resolved; which ones are ever opened is the fetcher's choice.
constexpr unsigned int urlFlags = CURLU_NON_SUPPORT_SCHEME;

std::optional<std::string> urlPart(const UrlHandle& url, CURLUPart part)
{
    char* text = nullptr;
    if (curl_url_get(url.get(), part, &text, 0) != CURLUE_OK)
        return std::nullopt;
    // Freed however the copy ends: it throws when memory runs out.
    const std::unique_ptr<char, decltype(&curl_free)> owned(text, &curl_free);
    return std::string(text);
}

} // namespace

std::string encodeUrlPart(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (isAsciiAlpha(c) || isAsciiDigit(c) || c == '-' || c == '.' || c == '_' || c == '~')
            out += c;
        else
            appendEncoded(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::string resolveUrl(std::string_view base, std::string_view reference)
{
    std::string ref = escapeUnsafe(cleanReference(reference));
    // The base's own fragment never carries over, but libcurl would keep it
    // before a reference "?y".
    const std::string baseUrl = escapeUnsafe(base.substr(0, base.find('#')));

    // libcurl resolves "" and "#s" against the folder of the base, not the
    // base itself; both stand for the base's own address.
    if (ref.empty() || ref.starts_with('#'))
        return baseUrl + ref;

    const std::size_t ownScheme = schemeLength(ref);
    // An address without "//" after its scheme ("mailto:x", "javascript:f()",
    // "http:g") has nothing to resolve, and libcurl refuses it.
    if (ownScheme && !std::string_view(ref).substr(ownScheme + 1).starts_with("//"))
        return ref;

    // An empty answer means libcurl finds no address in the base or the
    // result (a port past 65535, no host, an overlong address).
    UrlHandle url(curl_url(), &curl_url_cleanup);
    if (!url)
        return {};
    if (!ownScheme) {
        if (curl_url_set(url.get(), CURLUPART_URL, baseUrl.c_str(), urlFlags) != CURLUE_OK)
            return {};
        // libcurl's own merge of a relative path loses the slash of "./?x"
        // and "../?x" and the empty segments after "./" (".//x"), and takes
        // "1x:y" for a scheme; the merge is done here (RFC 3986, 5.2.3) and
        // libcurl removes the dot segments of the absolute path.
        if (!ref.starts_with('/') && !ref.starts_with('?')) {
            const auto basePath = urlPart(url, CURLUPART_PATH);
            if (!basePath)
                return {};
            ref.insert(0, *basePath, 0, basePath->rfind('/') + 1);
            // A path "//x" would read as a host.
            if (ref.starts_with("//"))
                ref.insert(0, "/.");
        }
    }
    if (curl_url_set(url.get(), CURLUPART_URL, ref.c_str(), urlFlags) != CURLUE_OK)
        return {};
    const auto whole = urlPart(url, CURLUPART_URL);
    if (!whole)
        return {};
    std::string resolved = escapeUnsafe(*whole);

    // libcurl writes the scheme in lower case and gives an address without a
    // path the path "/"; both are put back as the page wrote them.
    const std::string_view written = ownScheme ? std::string_view(ref) : std::string_view(baseUrl);
    if (auto scheme = schemeLength(written); scheme && resolved.size() > scheme && resolved[scheme] == ':')
        resolved.replace(0, scheme, written.substr(0, scheme));
    bool noPath = false;
    if (ownScheme || ref.starts_with("//"))
        noPath = hasAuthorityButNoPath(ref);
    else if (ref.starts_with('?'))
        noPath = hasAuthorityButNoPath(baseUrl);
    if (noPath) {
        if (auto authority = resolved.find("//"); authority != std::string::npos) {
            auto slash = resolved.find('/', authority + 2);
            if (slash != std::string::npos
                && (slash + 1 == resolved.size() || resolved[slash + 1] == '?' || resolved[slash + 1] == '#'))
                resolved.erase(slash, 1);
        }
    }
    return resolved;
}

} // namespace veltrop
