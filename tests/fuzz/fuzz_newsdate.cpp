// Any text where a news page puts its date.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "rank/newsdate.h"
#include "tests/fuzz/fuzzcheck.h"

using namespace veltrop;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto day = readNewsDate(text)) {
        FUZZ_CHECK(std::isfinite(*day));
        // Four-digit years at most: 1 January 0001 to 31 December 9999.
        FUZZ_CHECK(*day >= -693593.0 && *day < 2958466.0);
    }
    return 0;
}
