#include "web/text.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace veltrop {
namespace {

bool skippable(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::int64_t saturate(double v)
{
    constexpr double lo = double(std::numeric_limits<std::int64_t>::min());
    constexpr double hi = double(std::numeric_limits<std::int64_t>::max());
    if (std::isnan(v))
        return 0;
    if (v <= lo)
        return std::numeric_limits<std::int64_t>::min();
    if (v >= hi)
        return std::numeric_limits<std::int64_t>::max();
    return std::int64_t(v);
}

} // namespace

double leadingNumber(std::string_view text)
{
    // Collect the characters of the number without the skippable blanks, then
    // let strtod do the conversion so the value is correctly rounded.
    std::string number;
    std::size_t i = 0;
    auto next = [&]() -> char {
        while (i < text.size() && skippable(text[i]))
            ++i;
        return i < text.size() ? text[i] : '\0';
    };
    char c = next();
    if (c == '+' || c == '-') {
        number += c;
        ++i;
    }
    bool digits = false;
    while (isDigit(c = next())) {
        number += c;
        digits = true;
        ++i;
    }
    if (c == '.') {
        number += '.';
        ++i;
        while (isDigit(c = next())) {
            number += c;
            digits = true;
            ++i;
        }
    }
    if (!digits)
        return 0.0;
    c = next();
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
        std::string exponent = "e";
        std::size_t mark = i++;
        c = next();
        if (c == '+' || c == '-') {
            exponent += c;
            ++i;
        }
        bool expDigits = false;
        while (isDigit(c = next())) {
            exponent += c;
            expDigits = true;
            ++i;
        }
        if (expDigits)
            number += exponent;
        else
            i = mark;
    }
    return std::strtod(number.c_str(), nullptr);
}

std::int64_t floorWhole(double v) { return saturate(std::floor(v)); }

std::int64_t roundHalfEven(double v)
{
    // nearbyint follows the default rounding mode, which is to nearest-even.
    return saturate(std::nearbyint(v));
}

bool containsPhrase(std::string_view text, std::string_view phrase)
{
    if (phrase.empty())
        return true;
    if (phrase.size() > text.size())
        return false;
    for (std::size_t start = 0; start + phrase.size() <= text.size(); ++start) {
        std::size_t k = 0;
        while (k < phrase.size() && lowerAscii(text[start + k]) == lowerAscii(phrase[k]))
            ++k;
        if (k == phrase.size())
            return true;
    }
    return false;
}

std::string_view trimBlanks(std::string_view text)
{
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ')
        ++b;
    while (e > b && text[e - 1] == ' ')
        --e;
    return text.substr(b, e - b);
}

bool exactMatch(std::string_view text, std::string_view literal)
{
    return trimBlanks(text) == literal;
}

std::string countCaption(std::int64_t count, std::string_view suffix)
{
    std::string s = count < 0 ? std::to_string(count) : " " + std::to_string(count);
    s += suffix;
    return s;
}

std::string toUpperAscii(std::string_view text)
{
    std::string s(text);
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

} // namespace veltrop
