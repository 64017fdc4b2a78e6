#pragma once
// The Western Windows code page: one byte a character. The list files are
// kept in it, and one rank site counts and shifts its tickers in it; the
// program holds its text as UTF-8, so both convert at their edge.
#include <string>
#include <string_view>

namespace veltrop {

// Upper case as the code page has it: a-z and the accented small letters.
std::string upperCase1252(std::string_view bytes);
// Windows-1252 bytes to UTF-8; the five unassigned bytes keep their control
// code points.
std::string decode1252(std::string_view bytes);
// UTF-8 to Windows-1252 bytes. Every character the code page cannot hold, and
// every byte that is not valid UTF-8, becomes "?"; `whole`, when given, tells
// whether none did.
std::string encode1252(std::string_view utf8, bool* whole = nullptr);

} // namespace veltrop
