#pragma once
// The price and volume filter: one quote page (or one per batch of 80
// tickers) gives each ticker's price and volume; only the tickers above both
// limits stay in the list.
#include <string>
#include <string_view>

#include "domain/catalogue.h"
#include "domain/tickers.h"
#include "domain/webaccess.h"

namespace veltrop {

// A ticker stays when its price is above `price` and its volume above
// `volume`.
struct Limits {
    Whole price = 5;
    Whole volume = 25000;
};

// The limits a user may set; each front end says so in its own words.
struct LimitRange {
    Whole lowest, highest;
    bool holds(Whole value) const { return value >= lowest && value <= highest; }
};
inline constexpr LimitRange priceRange{1, 500};
inline constexpr LimitRange volumeRange{1, 50'000'000};

class FilterObserver : public virtual MessageSink {
public:
    // The quote pages are being asked for.
    virtual void filtering() = 0;
};

// Keeps the tickers of `list` that pass `limits`, in their order, each
// without a score. A batch whose page does not open keeps none of its
// tickers and says so. An empty list is left as it is. Cancel does not stop
// it: a Cancel clicked while the quotes load is forgotten when the ranking
// loops begin.
void filterTickers(const WebAccess& web, TickerList& list, const Limits& limits, FilterObserver& observer,
                   const QuotesEntry& quotes = *builtinCatalogue().quotes);

// The quote page for `query`, tickers as the site takes them.
std::string quotePageAddress(std::string_view query, const QuotesEntry& quotes = *builtinCatalogue().quotes);

} // namespace veltrop
