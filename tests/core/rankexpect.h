#pragma once
// What each rank source must give one ticker, worked out from the rank model
// of the simulated web by the rules of the sources, without reading a page.
// Shared by the tests that run the sources one by one and the full run.
#include <ctime>
#include <string>

#include "tools/simweb/rankmodel.h"

namespace veltrop::testing {

// What one source gives one ticker.
struct Given {
    enum Kind { Nothing, Add, Record } kind = Nothing;
    long long points = 0;

    bool operator==(const Given&) const = default;
};
inline Given nothing() { return {}; }
inline Given add(long long p) { return {Given::Add, p}; }
inline Given record(long long p) { return {Given::Record, p}; }

long long floorOf(double v);
std::string trimmed(const std::string& text);

// The present moment as a day number: days since 30 December 1899, the time
// of day as the fraction.
double localDayNumber(std::time_t when);

// Whether SmartSelect can send the ticker (upper case, trimmed).
bool smartSelectEligible(const std::string& upper);

// What source `index` gives `ticker` (as the ticker table holds it), with
// `now` and `today` the clock the news source reads.
Given expectedGiven(int index, const std::string& ticker, double now, simweb::ranks::CivilDate today);

// The pages source `index` opens for the ticker: one, none for a ticker
// SmartSelect cannot send, every page of the holdings for the fund count.
int expectedPages(int index, const std::string& ticker);

} // namespace veltrop::testing
