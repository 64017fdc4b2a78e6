// A catalogue of any bytes: it reads as a catalogue or is refused with
// errors that each name the file, a line and a column, and never both.
#include <cstddef>
#include <cstdint>
#include <string>

#include "domain/catalogue.h"
#include "tests/fuzz/fuzzcheck.h"

using namespace veltrop;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const CatalogueResult read = readCatalogue(text, "f.toml");
    FUZZ_CHECK(read.catalogue.has_value() == read.errors.empty());
    for (const std::string& error : read.errors) {
        FUZZ_CHECK(error.starts_with("f.toml:"));
        const std::size_t line = error.find_first_not_of("0123456789", 7);
        FUZZ_CHECK(line > 7 && line != std::string::npos && error[line] == ':');
        const std::size_t column = error.find_first_not_of("0123456789", line + 1);
        FUZZ_CHECK(column > line + 1 && column != std::string::npos && error.compare(column, 2, ": ") == 0);
    }
    if (read.catalogue)
        for (const RankEntry& rank : read.catalogue->ranks)
            FUZZ_CHECK(rank.url.find("{ticker}") != std::string::npos);
    return 0;
}
