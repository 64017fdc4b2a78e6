#include "web/charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <optional>

namespace veltrop {
namespace {

enum class Charset { Utf8, Windows1252 };

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

class Converter {
public:
    explicit Converter(const char* from) : handle_(iconv_open("UTF-8", from)) {}
    ~Converter()
    {
        if (valid())
            iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return handle_; }

private:
    iconv_t handle_;
};

// Appends as much of `in` as converts; on return `in` starts at the byte that
// stopped it (none when all of it went). The work is bounded by what converts,
// so a page of stray bytes stays linear.
void convertInto(std::string& out, const Converter& converter, std::string_view& in)
{
    char buffer[4096];
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(converter.get(), &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (result != static_cast<std::size_t>(-1) || errno != E2BIG)
            break;
    }
    in.remove_prefix(in.size() - inLeft);
}

// glibc's Windows-1252 has no characters for the code page's five holes (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) and stops at them; each keeps the code point
// ISO-8859-1 gives it, a C1 control, so one stray byte never costs the page.
// Without glibc's Windows-1252 module the page is read as ISO-8859-1 whole.
std::string decodeWindows1252(std::string_view text)
{
    const Converter windows("WINDOWS-1252");
    const Converter latin1("ISO-8859-1");
    const Converter& page = windows.valid() ? windows : latin1;
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    while (!text.empty()) {
        if (page.valid())
            convertInto(out, page, text);
        if (text.empty())
            break;
        std::string_view hole = text.substr(0, 1);
        if (latin1.valid())
            convertInto(out, latin1, hole);
        if (!hole.empty())
            out.append(replacementCharacter);
        text.remove_prefix(1);
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
