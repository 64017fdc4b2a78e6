#pragma once
// What the quick-quotes page shows for one ticker. The page takes its numbers
// from the synthetic market's quote, but, as the real page did, it shows a few
// tickers in forms a reader of the page has to cope with: a price of "n/a"
// (no trade yet today), a price of exactly 5.00, a volume of exactly 25,000,
// and a volume abbreviated with a unit letter ("1.2M", "850.0K"). Which
// tickers do is fixed by hashing, like every other attribute.
#include <string>
#include <string_view>

namespace simweb {

struct ShownQuote {
    std::string company;   // column 2; "Symbol not found" for a non-symbol
    std::string last;      // column 3: the price
    std::string change;    // column 4
    std::string percent;   // column 5
    std::string previous;  // column 6: the previous close
    std::string volume;    // column 7
};

enum class QuoteForm {
    Plain,          // price and volume as the market quotes them
    NoPrice,        // price columns "n/a", volume shown
    PriceAtFive,    // price exactly "5.00"
    VolumeAt25000,  // volume exactly "25,000"
    VolumeUnit,     // volume with a unit letter: "1.2M", "850.0K"
    NotASymbol,     // every number "n/a"
};

// The form the page shows `ticker` in (the ticker as the page lists it, in
// upper case).
QuoteForm quoteForm(std::string_view ticker);

// The texts of the ticker's row, columns 2 to 7.
ShownQuote shownQuote(std::string_view ticker);

} // namespace simweb
