#pragma once
// Synthetic market data for the simulated web. Every attribute of a ticker is
// derived from the ticker's text and a key by hashing, never from the clock or
// a random source, so every page built from it is the same on every run, and
// pages added later can draw further values for the same ticker that agree
// with the ones already shown.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace simweb {

struct Quote {
    double price = 0;         // dollars, whole cents
    double change = 0;        // against the previous close, whole cents
    std::int64_t volume = 0;  // shares traded today, whole hundreds
};

class Market {
public:
    // The one universe, built on first use.
    static const Market& instance();

    // A value in [0, 1) fixed for each (text, key) pair. The text is usually a
    // ticker in upper case, but any text will do (a list's name, for its size).
    static double attribute(std::string_view ticker, std::string_view key);
    // A whole number in [low, high] drawn the same way.
    static int whole(std::string_view ticker, std::string_view key, int low, int high);

    // True for 1 to 5 letters, optionally followed by a class suffix: "." or
    // "-" and one or two letters ("BRK.A", "RDS-B"). Either letter case.
    static bool isSymbol(std::string_view text);

    // Company name in UTF-8; a few carry accented letters or an ampersand.
    static std::string companyName(std::string_view ticker);
    // Today's quote of any symbol, listed or not. Some prices are below 5 and
    // a few below 1; some volumes are below 25,000.
    static Quote quote(std::string_view ticker);

    // Every listed ticker, sorted.
    const std::vector<std::string>& universe() const { return universe_; }

    enum class Pool {
        All,
        LargeCaps,  // price of at least 10 and volume of at least 500,000
    };
    // The `count` tickers of `pool` that score highest by attribute(t, key),
    // highest first. Different keys give different lists that overlap by
    // chance, as real published lists do.
    std::vector<std::string> top(std::string_view key, std::size_t count,
                                 Pool pool = Pool::All) const;

private:
    Market();
    std::vector<std::string> universe_;
};

} // namespace simweb
