#include "web/charset.h"

#include <array>
#include <cstdint>
#include <optional>

namespace veltrop {
namespace {

enum class Charset { Utf8, Windows1252 };

// Windows-1252 puts printable characters where ISO-8859-1 has C1 controls;
// the five holes of the code page keep their control code points.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t metaScanLength = 1024;

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isHtmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::string_view trimSpaces(std::string_view text)
{
    while (!text.empty() && isHtmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isHtmlSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<Charset> charsetFromLabel(std::string_view label)
{
    label = trimSpaces(label);
    for (std::string_view utf8 : {"utf-8", "utf8", "unicode-1-1-utf-8"}) {
        if (equalsIgnoringCase(label, utf8))
            return Charset::Utf8;
    }
    for (std::string_view western : {"windows-1252", "cp1252", "x-cp1252", "iso-8859-1", "iso8859-1",
                                     "iso_8859-1", "iso88591", "latin1", "l1", "us-ascii", "ascii",
                                     "ansi_x3.4-1968", "cp819", "ibm819", "csisolatin1"}) {
        if (equalsIgnoringCase(label, western))
            return Charset::Windows1252;
    }
    return std::nullopt;
}

// The value after "charset" in a header or meta content ("text/html;
// charset="iso-8859-1"").
std::optional<Charset> charsetParameter(std::string_view text)
{
    for (std::size_t at = 0; at + 7 <= text.size(); ++at) {
        if (!startsWithIgnoringCase(text.substr(at), "charset"))
            continue;
        std::string_view rest = trimSpaces(text.substr(at + 7));
        if (!rest.starts_with('='))
            continue;
        rest = trimSpaces(rest.substr(1));
        if (!rest.empty() && (rest.front() == '"' || rest.front() == '\''))
            rest.remove_prefix(1);
        auto end = rest.find_first_of(";\"' \t\r\n\f");
        return charsetFromLabel(rest.substr(0, end));
    }
    return std::nullopt;
}

// One attribute of a tag, the tag's text starting just after its name.
struct Attribute {
    std::string_view name;
    std::string_view value;
};

std::optional<Attribute> nextAttribute(std::string_view& tag)
{
    while (!tag.empty() && (isHtmlSpace(tag.front()) || tag.front() == '/'))
        tag.remove_prefix(1);
    if (tag.empty() || tag.front() == '>')
        return std::nullopt;
    Attribute attribute;
    auto nameEnd = tag.find_first_of("= \t\r\n\f/>", 1);
    attribute.name = tag.substr(0, nameEnd);
    tag.remove_prefix(attribute.name.size());
    tag = trimSpaces(tag);
    if (!tag.starts_with('='))
        return attribute;
    tag = trimSpaces(tag.substr(1));
    if (!tag.empty() && (tag.front() == '"' || tag.front() == '\'')) {
        auto close = tag.find(tag.front(), 1);
        attribute.value = tag.substr(1, close == std::string_view::npos ? close : close - 1);
        tag.remove_prefix(close == std::string_view::npos ? tag.size() : close + 1);
    } else {
        auto end = tag.find_first_of(" \t\r\n\f>");
        attribute.value = tag.substr(0, end);
        tag.remove_prefix(attribute.value.size());
    }
    return attribute;
}

std::optional<Charset> charsetFromMeta(std::string_view page)
{
    page = page.substr(0, metaScanLength);
    for (std::size_t at = page.find('<'); at != std::string_view::npos; at = page.find('<', at + 1)) {
        std::string_view rest = page.substr(at);
        if (rest.starts_with("<!--")) {
            auto close = rest.find("-->");
            if (close == std::string_view::npos)
                return std::nullopt;
            at += close;
            continue;
        }
        if (!startsWithIgnoringCase(rest, "<meta") || rest.size() < 6
            || !(isHtmlSpace(rest[5]) || rest[5] == '/'))
            continue;
        rest.remove_prefix(5);
        std::optional<Charset> fromContent;
        while (auto attribute = nextAttribute(rest)) {
            if (equalsIgnoringCase(attribute->name, "charset")) {
                if (auto charset = charsetFromLabel(attribute->value))
                    return charset;
            } else if (equalsIgnoringCase(attribute->name, "content")) {
                fromContent = charsetParameter(attribute->value);
            }
        }
        if (fromContent)
            return fromContent;
    }
    return std::nullopt;
}

// Length of the well-formed UTF-8 sequence at the start of `text`, 0 when
// there is none (overlong forms, surrogates and code points past U+10FFFF
// included).
std::size_t utf8SequenceLength(std::string_view text)
{
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

bool isValidUtf8(std::string_view text)
{
    while (!text.empty()) {
        auto length = utf8SequenceLength(text);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

std::string repairUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        auto length = utf8SequenceLength(text);
        if (length == 0) {
            out.append(replacementCharacter);
            text.remove_prefix(1);
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

void appendUtf8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::string decodeWindows1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        auto byte = static_cast<std::uint8_t>(c);
        if (byte >= 0x80 && byte <= 0x9F)
            appendUtf8(out, windows1252High[byte - 0x80]);
        else
            appendUtf8(out, byte);
    }
    return out;
}

} // namespace

std::string decodePage(std::string_view body, std::string_view contentType)
{
    if (body.starts_with(byteOrderMark))
        return repairUtf8(body.substr(byteOrderMark.size()));

    std::optional<Charset> charset = charsetParameter(contentType);
    if (!charset)
        charset = charsetFromMeta(body);
    if (!charset)
        charset = isValidUtf8(body) ? Charset::Utf8 : Charset::Windows1252;

    return *charset == Charset::Utf8 ? repairUtf8(body) : decodeWindows1252(body);
}

} // namespace veltrop
