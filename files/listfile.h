#pragma once
// The ticker list file: plain text, one byte per character in the Western
// Windows code page, one ticker a line, CR LF after every line. The program
// holds its text as UTF-8, so reading and writing convert at the file's edge.
#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "web/codepage.h"

namespace veltrop::listfile {

// The table holds 500 tickers, so no more lines are ever read.
inline constexpr std::size_t maxLines = 500;
// No ticker comes near this. A longer line keeps its first maxLineBytes bytes
// and the rest of it is skipped, so one stray long line costs none of the
// lines after it.
inline constexpr std::size_t maxLineBytes = 1024;

// Reads at most `lines` lines of raw bytes from `in`, each without its line
// break. CR LF, LF and a lone CR all end a line; a final line without a break
// counts, an empty rest after the last break does not. A UTF-8 byte order
// mark at the very start is skipped. A line longer than maxLineBytes is cut
// to its first maxLineBytes bytes. Reading stops after the lines taken or at
// the end of the stream; memory stays within lines * maxLineBytes whatever
// the length of a line.
std::vector<std::string> readLines(std::istream& in, std::size_t lines = maxLines);

// Puts `content` into the file `path` so that the file either keeps its old
// content or holds the whole new one: the bytes go to a temporary file in the
// same folder, which replaces the old file only once written and flushed to
// disk. An existing file keeps its permissions; a file that may not be written
// is not replaced. Returns an empty text on success, else the reason, and
// leaves no temporary file behind.
std::string replaceFile(const std::string& path, std::string_view content);

} // namespace veltrop::listfile
