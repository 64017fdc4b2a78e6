#pragma once
// Ticker lists kept in list files.
#include <istream>
#include <optional>
#include <vector>
#include <string>

#include "domain/tickers.h"

namespace veltrop {

// The tickers of the list file at `path`, upper-cased as the code page has
// it, at most 500; nullopt, and nothing read, when it is no readable plain
// file. A pipe or a device would make the reader wait for ever.
std::optional<std::vector<std::string>> readListFile(const std::string& path);

// The tickers of a list read from `in`, as readListFile reads a file's.
std::vector<std::string> readTickers(std::istream& in);

// Writes the tickers of `list` to the list file at `path`, one a
// line. The old file is replaced only by a complete new one; returns the
// empty text, else why the list could not be saved.
std::string writeListFile(const std::string& path, const TickerList& list);

} // namespace veltrop
