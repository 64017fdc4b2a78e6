// A ticker list file of any bytes, read the way Load List reads it, and each
// ticker written back the way Save List writes it.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "files/listfile.h"
#include "tests/fuzz/fuzzcheck.h"

using namespace veltrop;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::istringstream in(bytes);
    const auto lines = listfile::readLines(in);

    FUZZ_CHECK(lines.size() <= listfile::maxLines);
    std::size_t taken = 0;
    for (const std::string& raw : lines) {
        FUZZ_CHECK(raw.size() <= listfile::maxLineBytes);
        FUZZ_CHECK(raw.find('\n') == std::string::npos && raw.find('\r') == std::string::npos);
        taken += raw.size();

        const std::string upper = upperCase1252(raw);
        FUZZ_CHECK(upper.size() == raw.size());
        FUZZ_CHECK(upperCase1252(upper) == upper);
        const std::string ticker = decode1252(upper);
        FUZZ_CHECK(fuzz::validUtf8(ticker));
        // What is loaded saves back byte for byte.
        FUZZ_CHECK(encode1252(ticker) == upper);
    }
    FUZZ_CHECK(taken <= bytes.size());

    // Text the program holds, of any bytes, always becomes a line of the file.
    const std::string saved = encode1252(bytes);
    FUZZ_CHECK(saved.size() <= bytes.size());
    return 0;
}
