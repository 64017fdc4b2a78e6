#include "web/codepage.h"

#include <array>

namespace veltrop {
namespace {

// Bytes 0x80 to 0x9F of the code page; the rest of its upper half equals
// Unicode's Latin-1 block.
constexpr std::array<char16_t, 32> high1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The next character of `text` at `at`, advancing `at`; -1 for a byte that
// does not start a valid UTF-8 sequence (then `at` moves by one byte).
long nextCodePoint(std::string_view text, std::size_t& at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07, least = 0x10000;
    } else {
        ++at;
        return -1;
    }
    if (at + length > text.size()) {
        ++at;
        return -1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return -1;
        }
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++at;
        return -1;
    }
    at += length;
    return static_cast<long>(c);
}

} // namespace

std::string upperCase1252(std::string_view bytes)
{
    std::string out(bytes);
    for (char& ch : out) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            ch = static_cast<char>(c - 0x20);
        else if (c == 0x9A || c == 0x9C || c == 0x9E)  // s, oe and z with their marks
            ch = static_cast<char>(c - 0x10);
        else if (c == 0xFF)  // y with diaeresis
            ch = static_cast<char>(0x9F);
    }
    return out;
}

std::string decode1252(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c <= 0x9F)
            appendUtf8(out, high1252[c - 0x80]);
        else
            appendUtf8(out, c);
    }
    return out;
}

std::string encode1252(std::string_view utf8, bool* whole)
{
    std::string out;
    out.reserve(utf8.size());
    bool lost = false;
    std::size_t at = 0;
    while (at < utf8.size()) {
        const long c = nextCodePoint(utf8, at);
        if (c < 0) {
            out += '?';
            lost = true;
        } else if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
        } else {
            char mapped = '?';
            for (std::size_t i = 0; i < high1252.size(); ++i) {
                if (high1252[i] == static_cast<char32_t>(c)) {
                    mapped = static_cast<char>(0x80 + i);
                    break;
                }
            }
            lost = lost || mapped == '?';
            out += mapped;
        }
    }
    if (whole)
        *whole = !lost;
    return out;
}

} // namespace veltrop
