#pragma once
// Small rules shared by every command: how a page text or a typed text becomes
// a number, how numbers are rounded, how phrases are found and how counts are
// shown.
#include <cstdint>
#include <string>
#include <string_view>

namespace veltrop {

// The number at the start of a text. Blanks, tabs and line feeds are skipped
// wherever they stand; then an optional sign, digits, an optional "." with
// more digits and an optional exponent (E or D, optional sign, digits).
// Reading stops at the first character that cannot continue the number; 0
// when no digit was read. "12,345" reads 12, "1 000" reads 1000, "$5" reads 0.
double leadingNumber(std::string_view text);

// Largest whole number not greater than v (12.9 -> 12, -0.5 -> -1), saturated
// to the 64-bit range.
std::int64_t floorWhole(double v);

// Nearest whole number, a half going to the even neighbour (2.5 -> 2,
// 3.5 -> 4), saturated to the 64-bit range so that a huge typed number never
// wraps or traps.
std::int64_t roundHalfEven(double v);

// True when `phrase` occurs anywhere in `text`, ignoring ASCII letter case.
bool containsPhrase(std::string_view text, std::string_view phrase);

// True when `text`, with blanks trimmed from both ends, equals `literal`
// exactly, letter case included.
bool exactMatch(std::string_view text, std::string_view literal);

// A count as a label shows it: the number with one leading blank (the place
// of the sign) for a number that is not negative, then `suffix`:
// countCaption(37, " tickers found") == " 37 tickers found".
std::string countCaption(std::int64_t count, std::string_view suffix);

// `text` with blanks trimmed from both ends.
std::string_view trimBlanks(std::string_view text);

// Upper case of the ASCII letters of `text`; other bytes unchanged.
std::string toUpperAscii(std::string_view text);

} // namespace veltrop
