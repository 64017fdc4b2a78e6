// Any cell or typed text read as a number, then rounded as the commands round
// it, and the other small text rules on the same text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "web/text.h"
#include "tests/fuzz/fuzzcheck.h"

using namespace veltrop;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const double value = leadingNumber(text);
    FUZZ_CHECK(!std::isnan(value));
    const std::int64_t floored = floorWhole(value);
    const std::int64_t rounded = roundHalfEven(value);
    if (std::isfinite(value) && std::fabs(value) < 1e15) {
        FUZZ_CHECK(static_cast<double>(floored) <= value);
        FUZZ_CHECK(std::fabs(static_cast<double>(rounded) - value) <= 0.5);
    }
    (void)countCaption(floored, " tickers found");
    (void)countCaption(rounded, "");

    const std::string_view trimmed = trimBlanks(text);
    FUZZ_CHECK(trimmed.size() <= text.size());
    FUZZ_CHECK(exactMatch(text, trimmed));
    const std::string upper = toUpperAscii(text);
    FUZZ_CHECK(upper.size() == text.size());
    FUZZ_CHECK(containsPhrase(upper, text.substr(0, text.size() / 2)));
    return 0;
}
