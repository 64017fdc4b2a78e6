#include "web/url.h"

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

// The five components of an address (RFC 3986, section 3). A component that
// is absent differs from one that is present but empty ("http://h/p?" keeps
// its empty query), so each optional one carries a flag.
struct UrlParts {
    std::string_view scheme;
    std::string_view authority;
    std::string_view path;
    std::string_view query;
    std::string_view fragment;
    bool hasScheme = false;
    bool hasAuthority = false;
    bool hasQuery = false;
    bool hasFragment = false;
};

bool isValidScheme(std::string_view scheme)
{
    if (scheme.empty() || !isAsciiAlpha(scheme.front()))
        return false;
    for (char c : scheme) {
        if (!isAsciiAlpha(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

UrlParts splitUrl(std::string_view url)
{
    UrlParts parts;
    if (auto hash = url.find('#'); hash != std::string_view::npos) {
        parts.fragment = url.substr(hash + 1);
        parts.hasFragment = true;
        url = url.substr(0, hash);
    }
    if (auto question = url.find('?'); question != std::string_view::npos) {
        parts.query = url.substr(question + 1);
        parts.hasQuery = true;
        url = url.substr(0, question);
    }
    // A colon after the first slash belongs to the path ("a/b:c"), and a word
    // before a colon that is no scheme ("1x:y") leaves the reference relative.
    if (auto colon = url.find(':'); colon != std::string_view::npos && colon < url.find('/')
        && isValidScheme(url.substr(0, colon))) {
        parts.scheme = url.substr(0, colon);
        parts.hasScheme = true;
        url = url.substr(colon + 1);
    }
    if (url.starts_with("//")) {
        url.remove_prefix(2);
        auto slash = url.find('/');
        parts.authority = url.substr(0, slash);
        parts.hasAuthority = true;
        url = slash == std::string_view::npos ? std::string_view{} : url.substr(slash);
    }
    parts.path = url;
    return parts;
}

void dropLastSegment(std::string& out)
{
    auto slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash);
}

// RFC 3986, section 5.2.4.
std::string removeDotSegments(std::string_view in)
{
    std::string out;
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.remove_prefix(3);
        } else if (in.starts_with("./") || in.starts_with("/./")) {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../")) {
            in.remove_prefix(3);
            dropLastSegment(out);
        } else if (in == "/..") {
            in = "/";
            dropLastSegment(out);
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            auto end = in.find('/', 1);
            if (end == std::string_view::npos)
                end = in.size();
            out.append(in.substr(0, end));
            in.remove_prefix(end);
        }
    }
    return out;
}

// RFC 3986, section 5.2.3.
std::string mergePaths(const UrlParts& base, std::string_view referencePath)
{
    if (base.hasAuthority && base.path.empty())
        return "/" + std::string(referencePath);
    auto slash = base.path.rfind('/');
    std::string merged(slash == std::string_view::npos ? std::string_view{}
                                                        : base.path.substr(0, slash + 1));
    merged.append(referencePath);
    return merged;
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

// RFC 3986, section 5.2.2, then the recomposition of section 5.3.
std::string resolveUrl(std::string_view base, std::string_view reference)
{
    const std::string cleaned = cleanReference(reference);
    const UrlParts ref = splitUrl(cleaned);
    const UrlParts baseParts = splitUrl(base);

    UrlParts target;
    std::string path;
    if (ref.hasScheme) {
        target = ref;
        path = removeDotSegments(ref.path);
    } else {
        if (ref.hasAuthority) {
            target.authority = ref.authority;
            target.hasAuthority = true;
            path = removeDotSegments(ref.path);
            target.query = ref.query;
            target.hasQuery = ref.hasQuery;
        } else {
            if (ref.path.empty()) {
                path = baseParts.path;
                target.query = ref.hasQuery ? ref.query : baseParts.query;
                target.hasQuery = ref.hasQuery || baseParts.hasQuery;
            } else {
                path = removeDotSegments(ref.path.starts_with('/') ? std::string(ref.path)
                                                                    : mergePaths(baseParts, ref.path));
                target.query = ref.query;
                target.hasQuery = ref.hasQuery;
            }
            target.authority = baseParts.authority;
            target.hasAuthority = baseParts.hasAuthority;
        }
        target.scheme = baseParts.scheme;
        target.hasScheme = baseParts.hasScheme;
    }
    target.fragment = ref.fragment;
    target.hasFragment = ref.hasFragment;

    std::string result;
    if (target.hasScheme) {
        result.append(target.scheme);
        result += ':';
    }
    if (target.hasAuthority) {
        result += "//";
        result.append(target.authority);
    }
    result.append(path);
    if (target.hasQuery) {
        result += '?';
        result.append(target.query);
    }
    if (target.hasFragment) {
        result += '#';
        result.append(target.fragment);
    }
    return escapeUnsafe(result);
}

} // namespace veltrop
