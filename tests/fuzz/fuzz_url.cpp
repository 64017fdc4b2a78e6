// Addresses from outside pages: a base and a reference (split at the first
// line feed), and any text put into an address.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/fuzz/fuzzcheck.h"
#include "web/url.h"

using namespace veltrop;

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// What an address can carry as it is.
bool addressSafe(std::string_view address)
{
    for (char ch : address) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>')
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // Only letters, digits, "-._~" and %XX, and it reads back as the text.
    const std::string encoded = encodeUrlPart(input);
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '%') {
            FUZZ_CHECK(i + 2 < encoded.size());
            const int hi = hexValue(encoded[i + 1]);
            const int lo = hexValue(encoded[i + 2]);
            FUZZ_CHECK(hi >= 0 && lo >= 0);
            decoded += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            FUZZ_CHECK(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' || c == '~');
            decoded += c;
        }
    }
    FUZZ_CHECK(decoded == input);

    const std::size_t split = input.find('\n');
    const std::string_view base = split == std::string_view::npos ? std::string_view() : input.substr(0, split);
    const std::string_view reference = split == std::string_view::npos ? input : input.substr(split + 1);

    FUZZ_CHECK(addressSafe(resolveUrl("http://www.example.com/a/b/c.htm?q=1", reference)));
    FUZZ_CHECK(addressSafe(resolveUrl(base, reference)));
    FUZZ_CHECK(addressSafe(resolveUrl(reference, "")));
    return 0;
}
